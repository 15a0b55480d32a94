#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "Canvas.h"
#include "Engine.h"
#include "FakeHost.h"
#include "Fonts.h"
#include "Images.h"
#include "LabelControl.h"
#include "Pixels.h"

// Options are given by designated initializers; the fields left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

const char* const feiJing = "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE";  // 飞鲸网游
const char* const yaHei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";    // 微软雅黑

struct Ink {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1, count = 0;
    ARGB strongest = 0;  // the most opaque inked pixel
};

// Pixels of the label's own bitmap with more than `minAlpha`, optionally only where `mask` has none.
Ink inkOf(Control& c, int minAlpha = 64, const std::vector<bool>* mask = nullptr)
{
    Ink ink;
    const int w = static_cast<int>(imageWidth(c.bitmap())), h = static_cast<int>(imageHeight(c.bitmap()));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const ARGB p = pixelAt(c.bitmap(), x, y);
            if (static_cast<int>(p >> 24) <= minAlpha || (mask && (*mask)[y * w + x]))
                continue;
            ink.left = std::min(ink.left, x);
            ink.top = std::min(ink.top, y);
            ink.right = std::max(ink.right, x);
            ink.bottom = std::max(ink.bottom, y);
            ++ink.count;
            if ((p >> 24) >= (ink.strongest >> 24))
                ink.strongest = p;
        }
    }
    return ink;
}

// Where the label has any ink.
std::vector<bool> coverage(Control& c)
{
    const int w = static_cast<int>(imageWidth(c.bitmap())), h = static_cast<int>(imageHeight(c.bitmap()));
    std::vector<bool> mask(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            mask[y * w + x] = (pixelAt(c.bitmap(), x, y) >> 24) != 0;
    return mask;
}

// The family GDI+ reports for the face (the test bed substitutes it).
std::string yaHeiFamily()
{
    GpFont* font = createFont(yaHei, 12);
    std::string family = fontFamilyName(font);
    GDIP(GdipDeleteFont)(font);
    return family;
}

int red(ARGB p) { return (p >> 16) & 0xFF; }

GpBitmap* filledBitmap(int w, int h, ARGB color)
{
    TestCanvas canvas(w, h, color);
    GpBitmap* copy = nullptr;
    GDIP(GdipCloneBitmapAreaI)(0, 0, w, h, PixelFormat32bppARGB, canvas.bitmap(), &copy);
    return copy;
}

}  // namespace

TEST(LabelCreation, DefaultsFontsAndStringFormat)
{
    FakeHost fake;
    LabelControl plain, named, styled, wrapped, hidden;
    ASSERT_NE(plain.createLabel(fake.parent(), 10, 10, 200, 30, feiJing), 0u);
    EXPECT_EQ(plain.kind(), KIND_LABEL);
    EXPECT_FALSE(plain.isFocusable());
    EXPECT_TRUE(plain.isVisible());
    EXPECT_EQ(plain.text(), feiJing);
    EXPECT_EQ(plain.textW(), L"\u98DE\u9CB8\u7F51\u6E38");
    EXPECT_EQ(plain.textColor(), 0xD2000000u);
    EXPECT_EQ(plain.verticalAlign(), LabelControl::AlignCentre);
    EXPECT_EQ(plain.gradientMode(), -1);
    EXPECT_EQ(plain.formatFlags(), 0x1000);
    EXPECT_EQ(plain.trimming(), 0);
    EXPECT_EQ(plain.font(), engine().defaultFont());
    EXPECT_GT(plain.measuredWidth(), 30);
    EXPECT_GT(plain.measuredHeight(), 8);

    named.createLabel(fake.parent(), 0, 0, 100, 20, "a", {.fontName = yaHei});
    styled.createLabel(fake.parent(), 0, 0, 100, 20, "a", {.fontStyle = Gdiplus::FontStyleBold});
    EXPECT_EQ(named.fontSize(), 12.0f);
    EXPECT_EQ(named.fontName(), yaHeiFamily());
    EXPECT_EQ(styled.fontSize(), 12.0f);
    EXPECT_EQ(styled.fontStyle(), Gdiplus::FontStyleBold);
    EXPECT_EQ(styled.fontName(), fontFamilyName(engine().defaultFont()));
    EXPECT_NE(named.fontName(), styled.fontName());

    wrapped.createLabel(fake.parent(), 0, 0, 100, 20, "a", {.wordWrap = true, .alignment = 2});
    EXPECT_EQ(wrapped.formatFlags(), 0x6C00);
    EXPECT_EQ(wrapped.alignment(), 2);
    hidden.createLabel(fake.parent(), 0, 0, 100, 20, "a", {.visible = false});
    EXPECT_FALSE(hidden.isVisible());

    hidden.destroy();
    float size = 0;
    EXPECT_EQ(GDIP(GdipGetFontSize)(engine().defaultFont(), &size), Gdiplus::Ok) << "the shared font survives";
}

TEST(LabelPainting, TextFollowsHorizontalAndVerticalAlignment)
{
    FakeHost fake;
    const int w = 200, h = 60;
    std::vector<Ink> across, down;
    for (int align : {0, 1, 2}) {
        LabelControl label;
        label.createLabel(fake.parent(), 0, 0, w, h, "WWW", {.alignment = align});
        across.push_back(inkOf(label));
        LabelControl tall;
        tall.createLabel(fake.parent(), 0, 0, w, h, "WWW", {.verticalAlign = align});
        down.push_back(inkOf(tall));
    }
    ASSERT_GT(across[0].count, 20);
    EXPECT_LE(across[0].left, 6);
    EXPECT_NEAR((across[1].left + across[1].right) / 2.0, w / 2.0, 4);
    EXPECT_GE(across[2].right, w - 8);
    EXPECT_LE(down[0].top, 8);
    EXPECT_NEAR((down[1].top + down[1].bottom) / 2.0, h / 2.0, 4);
    EXPECT_GE(down[2].bottom, h - 10);
    EXPECT_LT(down[0].top, down[1].top);
    EXPECT_LT(down[1].top, down[2].top);

    LabelControl top, bottom, empty;
    top.createLabel(fake.parent(), 0, 0, w, h, "WWW", {.wordWrap = true, .verticalAlign = 0});
    bottom.createLabel(fake.parent(), 0, 0, w, h, "WWW", {.wordWrap = true, .verticalAlign = 2});
    EXPECT_EQ(inkOf(top).top, inkOf(bottom).top) << "vertical alignment means nothing to wrapped text";
    empty.createLabel(fake.parent(), 0, 0, w, h, "");
    EXPECT_EQ(inkOf(empty, 0).count, 0);
}

TEST(LabelPainting, GradientBackgroundAndFramesOnAllFourSides)
{
    FakeHost fake;
    const int w = 60, h = 30;
    const ARGB redOpaque = 0xFFFF0000, blueOpaque = 0xFF0000FF;
    struct Case {
        int mode;
        ARGB first, last;
        POINT start, end;
    };
    const Case cases[] = {{0, redOpaque, blueOpaque, {2, h / 2}, {w - 3, h / 2}},
                          {1, redOpaque, blueOpaque, {w / 2, 1}, {w / 2, h - 3}},
                          {0, 0, blueOpaque, {1, h / 2}, {w - 3, h / 2}}};
    for (const Case& k : cases) {
        LabelControl label;
        label.createLabel(fake.parent(), 0, 0, w, h, "",
                          {.gradientMode = k.mode, .gradientColor1 = k.first, .gradientColor2 = k.last});
        const ARGB nearPixel = pixelAt(label.bitmap(), k.start.x, k.start.y);
        const ARGB farPixel = pixelAt(label.bitmap(), k.end.x, k.end.y);
        if (k.first)
            EXPECT_GT(red(nearPixel), 200) << std::hex << nearPixel;
        else
            EXPECT_LT(nearPixel >> 24, 40u) << "a colour of 0 is transparent";
        EXPECT_GT(farPixel & 0xFF, 200u) << std::hex << farPixel;
        EXPECT_LT(red(farPixel), 40);
    }

    LabelControl framed;
    framed.createLabel(fake.parent(), 0, 0, w, h, "",
                       {.gradientMode = 1, .gradientColor1 = 0xFFFFFFFF, .gradientColor2 = 0xFFFFFFFF,
                        .borderStyle = FrameSolid});
    for (POINT side : {POINT{0, h / 2}, POINT{w - 1, h / 2}, POINT{w / 2, 0}, POINT{w / 2, h - 1}}) {
        const ARGB p = pixelAt(framed.bitmap(), side.x, side.y);
        EXPECT_LT(red(p), 200) << "frame hidden at " << side.x << "," << side.y << ": " << std::hex << p;
        EXPECT_GT(p >> 24, 60u);
    }
    EXPECT_EQ(pixelAt(framed.bitmap(), w / 2, h / 2), 0xFFFFFFFFu);

    LabelControl focused;
    focused.createLabel(fake.parent(), 0, 0, w, h, "a");
    EXPECT_EQ(pixelAt(focused.bitmap(), 0, h / 2) >> 24, 0u);
    fake.host().keyboardFocus = focused.handle();
    focused.repaint();
    EXPECT_GT(pixelAt(focused.bitmap(), 0, 2) >> 24, 0u) << "the keyboard focus frame";
}

TEST(LabelContrast, MoreThanFourOfNineDarkSamplesMeanWhiteText)
{
    const RectF area{0, 0, 100, 100};
    const POINT samples[] = {{20, 20}, {50, 20}, {80, 20}, {20, 50}, {50, 50}, {80, 50}, {20, 80}, {50, 80}, {80, 80}};
    for (int darkCount = 0; darkCount <= 9; ++darkCount) {
        TestCanvas canvas(100, 100, 0xFFFFFFFF);
        for (int i = 0; i < darkCount; ++i)
            GDIP(GdipBitmapSetPixel)(canvas.bitmap(), samples[i].x, samples[i].y, 0xFF404040);
        EXPECT_EQ(LabelControl::isBackgroundDark(canvas.bitmap(), 0xFFFFFFFF, area), darkCount > 4) << darkCount;
    }
    EXPECT_TRUE(LabelControl::isBackgroundDark(nullptr, 0xFF202020, area)) << "no image: the background colour";
    TestCanvas small(30, 30, 0xFFFFFFFF);
    EXPECT_TRUE(LabelControl::isBackgroundDark(small.bitmap(), 0xFF000000, area)) << "points beyond the image";
    struct Luma {
        ARGB color;
        bool dark;
    };
    for (Luma k : {Luma{0xFFBFBFBF, true}, Luma{0xFFC0C0C0, false}, Luma{0x00FFFF00, false}, Luma{0xFF0000FF, true}})
        EXPECT_EQ(LabelControl::isDark(k.color), k.dark) << std::hex << k.color;

    FakeHost fake;
    HostWindow& host = fake.host();
    host.backgroundImage = filledBitmap(400, 300, 0xFF101010);
    LabelControl label;
    label.createLabel(fake.parent(), 20, 20, 120, 30, "WWW", {.autoContrast = true});
    Ink ink = inkOf(label);
    EXPECT_GT(red(ink.strongest), 200) << "light text on a dark picture";
    EXPECT_LE(ink.strongest >> 24, 0xD2u) << "keeps the text colour's alpha";

    GDIP(GdipDisposeImage)(host.backgroundImage);
    host.backgroundImage = nullptr;
    host.backgroundColor = RGB(250, 250, 250);
    label.dispatchEvent(EV_SNAPSHOT, 0, 0);
    EXPECT_LT(red(inkOf(label).strongest), 60) << "dark text on a light background colour";
}

TEST(LabelEffects, HaloAndOutlineDrawAroundTheGlyphs)
{
    FakeHost fake;
    struct Case {
        int effect;
        ARGB textColor, haloColor;
        bool expectLightHalo;
    };
    const Case cases[] = {{LabelControl::EffectHalo, 0xFF000000, 0, true},
                          {LabelControl::EffectHalo, 0xFFFFFFFF, 0, false},
                          {LabelControl::EffectOutline, 0xFF000000, 0, true},
                          {LabelControl::EffectOutline, 0xFF000000, 0xFFFF0000, false}};
    for (const Case& k : cases) {
        LabelControl plain, effect;
        plain.createLabel(fake.parent(), 0, 0, 120, 40, "WWW", {.textColor = k.textColor});
        effect.createLabel(fake.parent(), 0, 0, 120, 40, "WWW",
                           {.textColor = k.textColor, .haloColor = k.haloColor, .textEffect = k.effect});
        const std::vector<bool> glyphs = coverage(plain);
        const Ink around = inkOf(effect, 0, &glyphs);
        ASSERT_GT(around.count, 0) << "effect " << k.effect;
        const ARGB p = around.strongest;
        if (k.haloColor)
            EXPECT_EQ(p & 0x00FFFFFF, k.haloColor & 0x00FFFFFF) << std::hex << p;
        else if (k.expectLightHalo)
            EXPECT_GT(red(p), 200) << std::hex << p;
        else
            EXPECT_LT(red(p), 60) << std::hex << p;
    }
}

TEST(LabelText, SameTextDoesNothingAndAFadeIsOneShot)
{
    FakeHost fake;
    LabelControl label;
    label.createLabel(fake.parent(), 0, 0, 200, 30, "abc");
    const int narrow = label.measuredWidth();
    fake.clearLog();
    label.text(std::string("abc"));
    EXPECT_TRUE(fake.events.empty()) << "neither measured nor repainted";
    label.text(std::string("abcabcabc"));
    EXPECT_EQ(fake.codesFor(label.handle()), (std::vector<int>{EV_PAINT}));
    EXPECT_GT(label.measuredWidth(), narrow);

    fake.clearLog();
    label.text(std::string("abcabcabc"), 2, 3, 10);
    EXPECT_EQ(fake.codesFor(label.handle()), (std::vector<int>{EV_PAINT, EV_TRANSITION_START}))
        << "a fade repaints even the same text";
    EXPECT_EQ(label.transitionParam(), 2);
    EXPECT_EQ(label.transitionFrames(), 3);
    EXPECT_EQ(label.transitionInterval(), 10);
    ASSERT_TRUE(fake.pumpUntil([&] { return !label.fadePending(); }));
    EXPECT_EQ(fake.codesFor(label.handle()).back(), EV_TRANSITION_END);
    EXPECT_EQ(label.transitionFrames(), 0);
    EXPECT_EQ(label.transitionInterval(), 0);

    fake.clearLog();
    label.text(std::string("x"));
    EXPECT_EQ(fake.codesFor(label.handle()), (std::vector<int>{EV_PAINT})) << "the fade was one-shot";
    label.text(std::string("y"), 0);
    EXPECT_EQ(label.transitionFrames(), 5);
    EXPECT_EQ(label.transitionInterval(), 60);
    ASSERT_TRUE(fake.pumpUntil([&] { return !label.fadePending(); }));
}

TEST(LabelText, AFadeAskedForWhileHiddenIsDroppedNotLeftForALaterRepaint)
{
    FakeHost fake;
    LabelControl label;
    label.createLabel(fake.parent(), 0, 0, 200, 30, "abc");
    label.visible(false);
    label.text(std::string("new"), 0, 3, 10);
    EXPECT_FALSE(label.fadePending());
    EXPECT_EQ(label.transitionFrames(), 0);
    label.visible(true);
    fake.clearLog();
    label.text(std::string("plain"));  // a repaint that asks for no fade
    EXPECT_EQ(fake.codesFor(label.handle()), (std::vector<int>{EV_PAINT}));
    fake.pump();
    EXPECT_EQ(fake.codesFor(label.handle()), (std::vector<int>{EV_PAINT}));
}

TEST(LabelFormat, SettersReadBackAndWordWrapOffRestoresTheNoWrapFlags)
{
    FakeHost fake;
    LabelControl label;
    label.createLabel(fake.parent(), 0, 0, 300, 60, feiJing);
    struct Case {
        std::function<int()> set;
        int expected;
    };
    const Case cases[] = {
        {[&] { return label.formatFlags(0x0004); }, 0x0004},
        {[&] { label.wordWrap(true); return label.formatFlags(); }, 0x6C00},
        {[&] { label.formatFlags(0x0001); label.wordWrap(false); return label.formatFlags(); }, 0x1000},
        {[&] { return label.trimming(3); }, 3},
        {[&] { return label.alignment(2); }, 2},
    };
    for (const Case& k : cases)
        EXPECT_EQ(k.set(), k.expected);

    const int small = label.measuredHeight();
    label.fontSize(24);
    EXPECT_EQ(label.fontSize(), 24.0f);
    EXPECT_GT(label.measuredHeight(), small);
    label.fontStyle(Gdiplus::FontStyleBold);
    label.fontName(yaHei);
    EXPECT_EQ(label.fontName(), yaHeiFamily());
    EXPECT_EQ(label.fontSize(), 24.0f) << "a new face keeps size and style";
    EXPECT_EQ(label.fontStyle(), Gdiplus::FontStyleBold);

    std::unique_ptr<Control> copy = label.clone();
    auto* twin = static_cast<LabelControl*>(copy.get());
    EXPECT_NE(twin->font(), label.font());
    EXPECT_EQ(twin->handle(), 0u);
    label.destroy();
    float size = 0;
    EXPECT_EQ(GDIP(GdipGetFontSize)(twin->font(), &size), Gdiplus::Ok);
    EXPECT_EQ(twin->text(), feiJing);
}

// Each repaint starts from a transparent bitmap: a shorter text, a moved one or none leaves no trace
// of the last one.
TEST(LabelPainting, RepaintLeavesNoTraceOfTheLastLook)
{
    FakeHost fake;
    LabelControl label;
    label.createLabel(fake.parent(), 0, 0, 201, 61, "WWWWWWWWWWWWWWWWWWWW",
                      {.gradientMode = 0, .gradientColor1 = 0xFF3050A0, .gradientColor2 = 0xFF3050A0});
    ASSERT_GT(inkOf(label, 0).count, 1000);
    label.gradientColor1(0u);
    label.gradientColor2(0u);
    label.text(std::string("W"));
    const Ink one = inkOf(label, 0);
    EXPECT_GT(one.count, 5);
    EXPECT_LT(one.right, 40) << "only the new, one-letter text";
    label.text(std::string());
    EXPECT_EQ(inkOf(label, 0).count, 0);
}
