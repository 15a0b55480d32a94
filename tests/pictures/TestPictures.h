#pragma once
// Pictures built for the picture and caption-button tests.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "Gdip.h"

constexpr ARGB opaqueRed = 0xFFFF0000, opaqueGreen = 0xFF00FF00, opaqueBlue = 0xFF0000FF;

// The three-frame test GIF (red, green, blue) with one delay per frame, in hundredths.
std::vector<std::uint8_t> threeFrameGifWithDelays(std::uint8_t first, std::uint8_t second, std::uint8_t third);
// A 16 x 16 icon: left half `left`, right half `right`. With useMask the colour bitmap carries no
// alpha and the mask hides the right half.
HICON makeIcon(ARGB left, ARGB right, bool useMask);
// Non-zero when two colours differ by more than `tolerance` in some channel.
bool colorsDiffer(ARGB a, ARGB b, int tolerance = 3);
