#pragma once
// Types shared across the engine, kept light so headers need not pull in windows.h or GDI+.
#include <cstdint>
#include <span>

// The 32-bit address of the variable that holds a control for its whole life.
using ControlHandle = std::uint32_t;
// The 32-bit address of a HostWindow; the value of the window property "Ex_Wnd_Control".
using HostHandle = std::uint32_t;

using Bytes = std::span<const std::uint8_t>;

// x, y, width, height in client pixels; laid out as GDI+'s RectF.
struct RectF {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};
