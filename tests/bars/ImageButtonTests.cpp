#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "BarsHost.h"
#include "ButtonControl.h"
#include "Images.h"
#include "Pixels.h"

// Options are given by designated initializers; the fields left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

constexpr ARGB red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF, grey = 0xFF808080;
constexpr int buttonX = 10, buttonY = 10;

bool closeTo(ARGB a, ARGB b, int tolerance = 4)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance)
            return false;
    }
    return true;
}

struct Faces {
    std::vector<std::uint8_t> normal = solidPng(8, 8, red);
    std::vector<std::uint8_t> hover = solidPng(8, 8, green);
    std::vector<std::uint8_t> pressed = solidPng(8, 8, blue);
    std::vector<std::uint8_t> disabled = solidPng(8, 8, grey);
};

struct Ink {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
};

// Where pixels close to `color` lie in the control's bitmap.
Ink inkOf(Control& c, ARGB color)
{
    Ink ink;
    const int w = static_cast<int>(imageWidth(c.bitmap())), h = static_cast<int>(imageHeight(c.bitmap()));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (closeTo(pixelAt(c.bitmap(), x, y), color)) {
                ink.left = std::min(ink.left, x);
                ink.top = std::min(ink.top, y);
                ink.right = std::max(ink.right, x);
                ink.bottom = std::max(ink.bottom, y);
            }
    return ink;
}

}  // namespace

TEST(ImageButton, EachStateShowsItsPictureInEveryImageMode)
{
    const Faces faces;
    struct Case {
        int imageMode;
        POINT inside, outside;  // a pixel the 8 x 8 picture covers, one only a stretched picture covers
        bool stretched;
    };
    for (const Case& c : {Case{ButtonControl::ImageNatural, {3, 3}, {20, 12}, false},
                          Case{ButtonControl::ImageStretched, {3, 3}, {20, 12}, true}}) {
        SCOPED_TRACE(c.imageMode);
        BarsHost host;
        ButtonControl button;
        button.createButton(host.parent(), buttonX, buttonY, 40, 24, "",
                            {.normalImage = faces.normal, .hoverImage = faces.hover, .pressedImage = faces.pressed,
                             .imageMode = c.imageMode});
        EXPECT_EQ(button.kind(), KIND_IMAGE_BUTTON);
        struct Step {
            const char* action;
            int x, y;
            ARGB face;
            int state;
        };
        const Step steps[] = {
            {"created", 0, 0, red, ButtonControl::StateNormal},
            {"enter", 20, 20, green, ButtonControl::StateHover},
            {"down", 20, 20, blue, ButtonControl::StatePressed},
            {"up", 20, 20, green, ButtonControl::StateHover},
            {"leave", 200, 200, red, ButtonControl::StateNormal},
        };
        for (const Step& s : steps) {
            SCOPED_TRACE(s.action);
            const std::string action = s.action;
            if (action == "enter" || action == "leave")
                host.mouseMove(s.x, s.y);
            else if (action == "down")
                host.mouseDown(s.x, s.y);
            else if (action == "up")
                host.mouseUp(s.x, s.y);
            EXPECT_EQ(button.state(), s.state);
            EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), c.inside.x, c.inside.y), s.face));
            const ARGB outside = pixelAt(button.bitmap(), c.outside.x, c.outside.y);
            if (c.stretched)
                EXPECT_TRUE(closeTo(outside, s.face));
            else
                EXPECT_EQ(outside >> 24, 0u);
        }
        EXPECT_EQ(host.clicks, std::vector<ControlHandle>{button.handle()});
        host.fake().pumpUntil([&] { return button.transitionFrame() == button.transitionFrames(); });
        button.destroy();
    }
}

TEST(ImageButton, NineGridModeKeepsTheCornersAndStretchesTheCentre)
{
    BarsHost host;
    ButtonControl button;
    const std::vector<std::uint8_t> nine = nineBlockPng();
    button.createButton(host.parent(), buttonX, buttonY, 60, 30, "",
                        {.normalImage = nine, .imageMode = ButtonControl::ImageNineGrid, .sourceRect = RectF{3, 3, 3, 3}});
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 1, 1), green));
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 58, 28), green));
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 30, 1), red));
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 30, 15), blue));
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 10, 15), blue));
    button.destroy();
}

TEST(ImageButton, DisabledButtonShowsItsDisabledPictureUndimmedOrTheNormalOneDimmed)
{
    const Faces faces;
    for (bool withDisabledPicture : {true, false}) {
        SCOPED_TRACE(withDisabledPicture ? "with disabled picture" : "without");
        BarsHost host;
        ButtonControl button;
        ButtonOptions options{.normalImage = faces.normal, .hoverImage = faces.hover, .pressedImage = faces.pressed};
        if (withDisabledPicture)
            options.disabledImage = faces.disabled;
        button.createButton(host.parent(), buttonX, buttonY, 40, 24, "", options);
        host.mouseMove(20, 20);
        ASSERT_TRUE(closeTo(pixelAt(button.bitmap(), 3, 3), green));
        host.fake().pumpUntil([&] { return button.transitionFrame() == button.transitionFrames(); });

        button.disabled(true);
        host.fake().pump();
        // What the host asks when it composes a disabled control.
        const int answer = button.dispatchEvent(EV_QUERY_DIM, 0, 1);
        EXPECT_EQ(answer, withDisabledPicture ? 0 : -1);
        EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 3, 3), withDisabledPicture ? grey : red));
        button.repaint();
        EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 3, 3), withDisabledPicture ? grey : red));

        // Enabled again, the button leaves the disabled face behind.
        button.disabled(false);
        host.fake().pump();
        EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 3, 3), red));
        host.fake().pumpUntil([&] { return button.transitionFrame() == button.transitionFrames(); });
        button.destroy();
    }
}

TEST(ImageButton, ChangingAPictureShowsTheNewOneAtTheNextPaint)
{
    const Faces faces;
    BarsHost host;
    ButtonControl button;
    button.createButton(host.parent(), buttonX, buttonY, 40, 24, "", {.normalImage = faces.normal});
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 3, 3), red));
    button.normalImage(faces.pressed);
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 3, 3), blue));
    EXPECT_EQ(button.normalImage(), faces.pressed);
    // Stretched faces are drawn from a copy of the button's size: a new picture must replace it.
    button.imageMode(ButtonControl::ImageStretched);
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 30, 20), blue));
    button.normalImage(faces.hover);
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 30, 20), green));
    const std::vector<std::uint8_t> broken = {1, 2, 3, 4};
    button.setImages(broken);
    EXPECT_EQ(pixelAt(button.bitmap(), 3, 3) >> 24, 0u);  // undecodable: nothing drawn
    EXPECT_EQ(button.paintedFace(), ButtonControl::FaceNone);
    button.destroy();
}

// A button created hidden (the run button) is drawn when first shown, with what it was given meanwhile.
TEST(ImageButton, HiddenButtonIsDrawnWhenFirstShownWithItsCurrentPictures)
{
    const Faces faces;
    BarsHost host;
    ButtonControl button;
    button.createButton(host.parent(), buttonX, buttonY, 40, 24, "", {.normalImage = faces.normal, .visible = false});
    EXPECT_EQ(pixelAt(button.bitmap(), 3, 3) >> 24, 0u) << "nothing drawn while hidden";
    button.normalImage(faces.pressed);
    EXPECT_EQ(button.paintedFace(), ButtonControl::FaceNone);
    button.visible(true);
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 3, 3), blue));
    EXPECT_EQ(button.paintedFace(), ButtonControl::FaceNormal);
    button.visible(false);
    button.normalImage(faces.hover);
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 3, 3), green)) << "once drawn, it keeps up while hidden";
    button.destroy();
}

TEST(ImageButton, HoverChangesFadeOverFourFramesAndAPressAfterTheFadeDoesNot)
{
    const Faces faces;
    BarsHost host;
    ButtonControl button;
    button.createButton(host.parent(), buttonX, buttonY, 40, 24, "",
                        {.normalImage = faces.normal, .hoverImage = faces.hover, .pressedImage = faces.pressed});
    FakeHost& fake = host.fake();
    auto count = [&](int code) {
        int n = 0;
        for (const HostEvent& e : fake.events)
            n += e.control == button.handle() && e.code == code ? 1 : 0;
        return n;
    };
    auto frameRedraws = [&] {
        int n = 0;
        for (const InvalidateRequest& r : fake.invalidations)
            n += r.mode == 0 ? 1 : 0;
        return n;
    };

    for (int x : {20, 200}) {  // in, then out
        SCOPED_TRACE(x);
        fake.clearLog();
        host.mouseMove(x, 20);
        EXPECT_EQ(count(EV_TRANSITION_START), 1);
        EXPECT_EQ(button.transitionFrames(), ButtonControl::hoverFadeFrames);
        ASSERT_TRUE(fake.pumpUntil([&] { return count(EV_TRANSITION_END) == 1; }));
        EXPECT_EQ(frameRedraws(), ButtonControl::hoverFadeFrames);
        EXPECT_EQ(button.transitionFrames(), 0);
    }

    // After the fade the press is drawn at once: one redraw, no fade.
    host.mouseMove(20, 20);
    ASSERT_TRUE(fake.pumpUntil([&] { return button.transitionFrame() == button.transitionFrames(); }));
    fake.pump();
    fake.clearLog();
    host.mouseDown(20, 20);
    EXPECT_EQ(count(EV_TRANSITION_START), 0);
    EXPECT_EQ(frameRedraws(), 1);
    EXPECT_TRUE(closeTo(pixelAt(button.bitmap(), 3, 3), blue));
    host.mouseUp(20, 20);

    // A press while the hover fade runs fades too.
    host.mouseMove(200, 200);
    fake.clearLog();
    host.mouseMove(20, 20);
    host.mouseDown(20, 20);
    EXPECT_EQ(count(EV_TRANSITION_START), 2);
    ASSERT_TRUE(fake.pumpUntil([&] { return count(EV_TRANSITION_END) == 1; }));
    host.mouseUp(20, 20);
    fake.pumpUntil([&] { return button.transitionFrame() == button.transitionFrames(); });
    button.destroy();
}

TEST(ImageButton, AccessKeyIsTheCharacterAfterTheFirstAmpersand)
{
    struct Case {
        const wchar_t* caption;
        int key;
    };
    for (const Case& c : {Case{L"&Go", 'G'}, Case{L"Ru&n", 'n'}, Case{L"A&&B", '&'}, Case{L"plain", 0},
                          Case{L"end&", 0}, Case{L"\x6781&\x901F", 0x901F}}) {
        EXPECT_EQ(ButtonControl::accessKeyOf(c.caption), c.key);
    }

    BarsHost host;
    ButtonControl button, other;
    button.createButton(host.parent(), buttonX, buttonY, 80, 24, "&Go");
    const auto handle = button.handle();
    using Table = std::vector<std::pair<int, ControlHandle>>;
    auto table = [&] {
        Table t;
        for (const HostWindow::Accelerator& a : host.host().accelerators)
            t.push_back({a.key, a.control});
        return t;
    };
    EXPECT_EQ(table(), (Table{{'G', handle}}));

    button.text("&Go");  // the same caption: nothing
    EXPECT_EQ(host.accelerators.size(), 1u);
    button.text("Ru&n");  // the old key is given up, the new one taken
    EXPECT_EQ(table(), (Table{{'n', handle}}));
    EXPECT_EQ(button.accessKey(), 'n');
    button.text("Run");
    EXPECT_EQ(table(), Table{});
    EXPECT_EQ(button.accessKey(), 0);

    // Giving up a key takes only the button's own entry: another control may hold the same letter.
    button.text("&Stop");
    other.createButton(host.parent(), buttonX, buttonY + 30, 80, 24, "&Save");
    EXPECT_EQ(table(), (Table{{'S', other.handle()}}));
    button.text("Quit");
    EXPECT_EQ(table(), (Table{{'S', other.handle()}}));
    button.text("&Keep");
    EXPECT_EQ(table(), (Table{{'S', other.handle()}, {'K', handle}}));
    button.destroy();  // a destroyed button keeps no key in the host's table
    EXPECT_EQ(table(), (Table{{'S', other.handle()}}));
    other.destroy();
    EXPECT_EQ(table(), Table{});
}

namespace {

class LayoutProbe : public ButtonControl {
public:
    int onDrawContent(PaintContext&, int, const RectF& captionRect, const RectF& iconRect) override
    {
        caption = captionRect;
        icon = iconRect;
        return 1;
    }
    RectF caption, icon;
};

}  // namespace

TEST(ImageButton, IconAndCaptionArePlacedByTheIconLayout)
{
    const std::vector<std::uint8_t> iconPng = solidPng(16, 16, blue);
    constexpr int W = 100, H = 60, gap = 4;
    // Expected left/top of icon and caption in a W x H button for a tw x th caption and a 16 x 16 icon.
    struct Expected {
        int iconX, iconY, captionX, captionY;
    };
    auto expected = [&](int layout, int tw, int th) -> Expected {
        const int row = 16 + gap + tw;
        switch (layout) {
        case 0: return {(W - row) / 2, (H - 16) / 2, (W - row) / 2 + 16 + gap, (H - th) / 2};
        case 1: return {(W - row) / 2 + tw + gap, (H - 16) / 2, (W - row) / 2, (H - th) / 2};
        case 2: return {(W - 16) / 2, (H - 16 - gap - th) / 2, (W - tw) / 2, (H - 16 - gap - th) / 2 + 16 + gap};
        case 3: return {(W - 16) / 2, (H - 16) / 2, (W - tw) / 2, (H - th) / 2};
        case 4: return {0, (H - 16) / 2, 16 + gap, (H - th) / 2};
        case 5: return {tw + gap, (H - 16) / 2, 0, (H - th) / 2};
        default: return {(W - 16) / 2, 0, (W - tw) / 2, 16 + gap};
        }
    };
    for (int layout = 0; layout <= 6; ++layout) {
        for (bool pressed : {false, true}) {
            SCOPED_TRACE(testing::Message() << "layout " << layout << (pressed ? " pressed" : ""));
            BarsHost host;
            LayoutProbe button;
            button.createButton(host.parent(), buttonX, buttonY, W, H, "Install",
                                {.textColor = 0xFF000000, .icon = iconPng, .iconLayout = layout, .gap = gap});
            if (pressed)
                button.paint(ButtonControl::StatePressed, false);
            const int tw = static_cast<int>(button.caption.width), th = static_cast<int>(button.caption.height);
            ASSERT_GT(tw, 20);
            ASSERT_GT(th, 5);
            const Expected e = expected(layout, tw, th);
            const int shift = pressed ? 1 : 0;
            EXPECT_EQ(button.icon.x, e.iconX + shift);
            EXPECT_EQ(button.icon.y, e.iconY + shift);
            EXPECT_EQ(button.caption.x, e.captionX + shift);
            EXPECT_EQ(button.caption.y, e.captionY + shift);
            EXPECT_FLOAT_EQ(button.icon.width, 16);
            // The icon is drawn where it was placed, at its own size (inside the 1-pixel content margin).
            const Ink ink = inkOf(button, blue);
            EXPECT_EQ(ink.left, std::max(1, e.iconX + shift));
            EXPECT_EQ(ink.top, std::max(1, e.iconY + shift));
            EXPECT_EQ(ink.bottom, e.iconY + shift + 15);
            button.destroy();
        }
    }
}

TEST(ImageButton, OffsetsMoveIconAndCaptionTogether)
{
    const std::vector<std::uint8_t> iconPng = solidPng(16, 16, blue);
    BarsHost host;
    LayoutProbe plain, moved;
    plain.createButton(host.parent(), buttonX, buttonY, 100, 40, "Go", {.icon = iconPng});
    moved.createButton(host.parent(), buttonX, 60, 100, 40, "Go", {.icon = iconPng, .offsetX = 7, .offsetY = -3});
    EXPECT_FLOAT_EQ(moved.icon.x - plain.icon.x, 7);
    EXPECT_FLOAT_EQ(moved.icon.y - plain.icon.y, -3);
    EXPECT_FLOAT_EQ(moved.caption.x - plain.caption.x, 7);
    EXPECT_FLOAT_EQ(moved.caption.y - plain.caption.y, -3);
    plain.destroy();
    moved.destroy();
}

TEST(ImageButton, CaptionIsDrawnInsideItsRectangleInTheTextColour)
{
    BarsHost host;
    LayoutProbe button;
    button.createButton(host.parent(), buttonX, buttonY, 120, 40, "\xBC\xAB\xCB\xD9\xB0\xB2\xD7\xB0",  // 极速安装
                        {.fontName = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA", .fontSize = 18.0f, .textColor = 0xFFFFFFFF});
    const Ink ink = inkOf(button, 0xFFFFFFFF);
    ASSERT_GE(ink.right, 0);
    const RectF& c = button.caption;
    EXPECT_GE(ink.left, static_cast<int>(c.x) - 1);
    EXPECT_LE(ink.right, static_cast<int>(c.x + c.width) + 1);
    EXPECT_GE(ink.top, static_cast<int>(c.y) - 1);
    EXPECT_LE(ink.bottom, static_cast<int>(c.y + c.height) + 1);
    // Four characters of 18 pixels: nothing of the caption was trimmed away.
    EXPECT_GE(ink.right - ink.left, 60);
    button.destroy();
}
