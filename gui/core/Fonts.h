#pragma once
// GDI+ fonts with fallback to the engine's default font, and the system's UI font faces.
#include <initializer_list>
#include <string>

#include "Gdip.h"

enum class SystemFont { Menu = 1, Caption = 2, Message = 3 };

std::string fontFamilyName(GpFont* font);

// Sizes are pixels. An unknown face falls back to the default font's family; null on failure.
GpFont* createFont(const std::string& face, float size, int style = Gdiplus::FontStyleRegular);

// The face of a non-client-metrics font ("Tahoma" reads as "宋体"); "宋体" when it is unusable.
std::string systemFontFace(SystemFont which = SystemFont::Caption);

// "Tahoma" stands for "宋体"; a face GDI+ cannot make a 12 px font of gives "宋体" as well.
std::string usableSystemFace(const std::string& face);

// 12 px regular in the first of "宋体" and the caption font's face that GDI+ knows.
GpFont* makeDefaultFont();

// 12 px regular in the first face whose family GDI+ can make; null when none.
GpFont* fontFromFirstFamily(std::initializer_list<std::string> faces);
