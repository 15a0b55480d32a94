#include <gtest/gtest.h>

#include "Engine.h"
#include "Fonts.h"
#include "Text.h"

namespace {
const std::string songTi = "\xCB\xCE\xCC\xE5";       // 宋体
const std::string yaHei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";  // 微软雅黑

float fontSize(GpFont* font)
{
    float size = 0;
    GDIP(GdipGetFontSize)(font, &size);
    return size;
}

struct FontDeleter {
    void operator()(GpFont* font) const { GDIP(GdipDeleteFont)(font); }
};
using FontPtr = std::unique_ptr<GpFont, FontDeleter>;
}  // namespace

TEST(Fonts, ChineseFacesResolveAsOnAChineseWindows)
{
    awaitFontLookup();  // GDI+'s own lookup below must not run beside start-up's
    for (const std::string& face : {songTi, yaHei}) {
        GpFontFamily* family = nullptr;
        EXPECT_EQ(GDIP(GdipCreateFontFamilyFromName)(toWide(face).c_str(), nullptr, &family), Gdiplus::Ok)
            << face;
        if (family)
            GDIP(GdipDeleteFontFamily)(family);
    }
}

TEST(Fonts, DefaultFontIsTwelvePixelsRegular)
{
    ASSERT_NE(engine().defaultFont(), nullptr);
    EXPECT_FLOAT_EQ(fontSize(engine().defaultFont()), 12.0f);
    Gdiplus::Unit unit{};
    GDIP(GdipGetFontUnit)(engine().defaultFont(), &unit);
    EXPECT_EQ(unit, Gdiplus::UnitPixel);
    EXPECT_FALSE(fontFamilyName(engine().defaultFont()).empty());
}

TEST(Fonts, UnknownFaceFallsBackToDefaultFamily)
{
    FontPtr font(createFont("No Such Face 4711", 20, Gdiplus::FontStyleBold));
    ASSERT_TRUE(font);
    EXPECT_EQ(fontFamilyName(font.get()), fontFamilyName(engine().defaultFont()));
    EXPECT_FLOAT_EQ(fontSize(font.get()), 20.0f);

    FontPtr known(createFont(yaHei, 14));
    ASSERT_TRUE(known);
    EXPECT_FLOAT_EQ(fontSize(known.get()), 14.0f);
}

TEST(Fonts, SystemFacesAreTheFacesOfTheNonClientMetrics)
{
    EXPECT_EQ(usableSystemFace("Tahoma"), songTi) << "the Tahoma caption font reads as 宋体";
    EXPECT_EQ(usableSystemFace(yaHei), yaHei);

    // Three different faces, so that each font is known to be read from its own place (faces without a
    // replacement: Wine reads a replaced face back as the font that stands in for it).
    NONCLIENTMETRICSA saved = {};
    saved.cbSize = sizeof saved;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof saved, &saved, 0));
    NONCLIENTMETRICSA distinct = saved;
    struct Case {
        SystemFont which;
        char (&face)[LF_FACESIZE];
        const char* given;
    } cases[] = {
        {SystemFont::Caption, distinct.lfCaptionFont.lfFaceName, "DejaVu Serif"},
        {SystemFont::Menu, distinct.lfMenuFont.lfFaceName, "DejaVu Sans"},
        {SystemFont::Message, distinct.lfMessageFont.lfFaceName, "DejaVu Sans Mono"},
    };
    for (const Case& c : cases)
        lstrcpynA(c.face, c.given, LF_FACESIZE);
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, sizeof distinct, &distinct, 0));
    for (const Case& c : cases)
        EXPECT_EQ(systemFontFace(c.which), std::string(c.given));
    SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, sizeof saved, &saved, 0);

    // As the system has them: whatever face each names, through the same rules.
    const std::pair<SystemFont, const LOGFONTA*> fonts[] = {{SystemFont::Caption, &saved.lfCaptionFont},
                                                            {SystemFont::Menu, &saved.lfMenuFont},
                                                            {SystemFont::Message, &saved.lfMessageFont}};
    for (const auto& [which, font] : fonts)
        EXPECT_EQ(systemFontFace(which), usableSystemFace(font->lfFaceName));
}

TEST(Fonts, DefaultFontTakesTheFirstFaceGdiplusKnows)
{
    // A system without 宋体 gets the caption font's face at 12 px.
    FontPtr font(fontFromFirstFamily({"No Such Face 4711", yaHei}));
    ASSERT_TRUE(font);
    FontPtr yaHeiFont(createFont(yaHei, 12));
    EXPECT_EQ(fontFamilyName(font.get()), fontFamilyName(yaHeiFont.get()));
    EXPECT_FLOAT_EQ(fontSize(font.get()), 12.0f);
    EXPECT_EQ(fontFromFirstFamily({"No Such Face 4711", "Nor This One"}), nullptr);
}
