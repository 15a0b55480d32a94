#include "Fonts.h"

#include "Engine.h"
#include "Text.h"

namespace {

const char* const songTi = "\xCB\xCE\xCC\xE5";  // 宋体

// Byte offsets of the LOGFONTA face names inside NONCLIENTMETRICSA (without iPaddedBorderWidth).
constexpr UINT metricsSize = 340;
constexpr size_t faceOffset(SystemFont which)
{
    switch (which) {
    case SystemFont::Menu: return 188;
    case SystemFont::Message: return 308;
    case SystemFont::Caption: break;
    }
    return 52;
}

GpFontFamily* familyFromName(const std::string& face)
{
    awaitFontLookup();
    GpFontFamily* family = nullptr;
    std::wstring wide = toWide(face);
    if (GDIP(GdipCreateFontFamilyFromName)(wide.c_str(), nullptr, &family) != Gdiplus::Ok) {
        if (family)
            GDIP(GdipDeleteFontFamily)(family);
        return nullptr;
    }
    return family;
}

}  // namespace

std::string fontFamilyName(GpFont* font)
{
    GpFontFamily* family = nullptr;
    if (!font || GDIP(GdipGetFamily)(font, &family) != Gdiplus::Ok || !family)
        return {};
    WCHAR name[LF_FACESIZE] = {};
    GDIP(GdipGetFamilyName)(family, name, 0);
    GDIP(GdipDeleteFontFamily)(family);  // a copy, the caller's to delete
    return toAnsi(name);
}

GpFont* createFont(const std::string& face, float size, int style)
{
    GpFontFamily* family = familyFromName(face);
    if (!family)
        family = familyFromName(fontFamilyName(engine().defaultFont()));
    if (!family)
        return nullptr;
    GpFont* font = nullptr;
    if (GDIP(GdipCreateFont)(family, size, style, Gdiplus::UnitPixel, &font) != Gdiplus::Ok)
        font = nullptr;
    GDIP(GdipDeleteFontFamily)(family);
    return font;
}

std::string usableSystemFace(const std::string& face)
{
    std::string chosen = face == "Tahoma" ? std::string(songTi) : face;
    GpFont* probe = createFont(chosen, 12, Gdiplus::FontStyleRegular);
    if (!probe)
        return songTi;
    GDIP(GdipDeleteFont)(probe);
    return chosen;
}

std::string systemFontFace(SystemFont which)
{
    auto* metrics = static_cast<unsigned char*>(allocZeroed(metricsSize));
    if (!metrics)
        return songTi;
    *reinterpret_cast<UINT*>(metrics) = metricsSize;
    std::string face;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 0, metrics, 0)) {
        const char* name = reinterpret_cast<const char*>(metrics + faceOffset(which));
        face.assign(name, strnlen(name, LF_FACESIZE));
    }
    freeBlock(metrics);
    if (face.empty())
        return songTi;
    return usableSystemFace(face);
}

GpFont* fontFromFirstFamily(std::initializer_list<std::string> faces)
{
    for (const auto& face : faces) {
        GpFontFamily* family = familyFromName(face);
        if (!family)
            continue;
        GpFont* font = nullptr;
        if (GDIP(GdipCreateFont)(family, 12.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel, &font) != Gdiplus::Ok)
            font = nullptr;
        GDIP(GdipDeleteFontFamily)(family);
        return font;
    }
    return nullptr;
}

GpFont* makeDefaultFont()
{
    // The system's caption face is looked up only when the first choice is missing.
    if (GpFont* font = fontFromFirstFamily({songTi}))
        return font;
    return fontFromFirstFamily({systemFontFace(SystemFont::Caption)});
}
