#pragma once
// Types shared across the engine, kept light so headers need not pull in windows.h or GDI+.
#include <cstdint>
#include <span>

// The address of the variable that holds a control for its whole life (pointer-sized: 32-bit in the
// product, 64-bit in the x86_64 build).
using ControlHandle = std::uintptr_t;
// The address of a HostWindow; the value of the window property "Ex_Wnd_Control".
using HostHandle = std::uintptr_t;

using Bytes = std::span<const std::uint8_t>;

// x, y, width, height in client pixels (logical, 1/96 inch, unless named device); laid out as GDI+'s
// RectF.
struct RectF {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

class Control;
class HostWindow;

// Control event codes. Below 1024 they are the window messages the host received (WM_TIMER,
// WM_MOUSEMOVE, WM_LBUTTONDOWN, ...) with Windows' wParam and lParam.
enum EventCode : int {
    EV_CREATE = 1,
    EV_DESTROY = 2,
    EV_PAINT = 15,
    EV_DOUBLE_CLICK = 515,  // binding code only: matches 513 with wParam doubleClickMark
    EV_FOCUS = 10240,
    EV_BLUR = 10241,
    EV_MOUSE_ENTER = 10242,
    EV_MOUSE_LEAVE = 10243,
    EV_CLICK = 10244,
    EV_RESIZE = 10245,
    EV_HIDE = 10246,
    EV_SHOW = 10247,
    EV_DRAW_TRANSITION = 10248,
    EV_QUERY_PRESS = 10250,
    EV_QUERY_DIM = 10254,
    EV_MOVED = 10257,
    EV_QUERY_FOCUS = 10260,
    EV_ALPHA = 10261,
    EV_SNAPSHOT = 10262,
    EV_TRANSITION_START = 10263,
    EV_TRANSITION_END = 10264,
};

// A double click travels as WM_LBUTTONDOWN with this wParam.
inline constexpr unsigned doubleClickMark = 10086;

// Engine window messages accepted by a host window.
enum HostMessage : unsigned {
    WM_EX_FOCUS = 10240,           // lParam = control
    WM_EX_SET_ACCELERATOR = 10251, // wParam = key, lParam = control (0 removes)
    WM_EX_PRESENT_LAYERED = 10253,
    WM_EX_INVALIDATE = 10256,      // wParam = mode, lParam = const RectF*
    WM_EX_MOVED = 10257,           // wParam = control, lParam = 1 to redraw old and new bounds
    WM_EX_EVENT = 10258,           // wParam = control, lParam = EventRecord*
    WM_EX_HOVER_CHECK = 10259,     // posted to itself: decide the control under a resting mouse again
};

// Control kinds, given at creation and passed to the host-level callbacks.
enum ControlKind : int {
    KIND_CAPTION_BUTTON = 1,
    KIND_IMAGE_BUTTON_CREATING = 2,
    KIND_LABEL = 3,
    KIND_PICTURE = 4,
    KIND_IMAGE_BUTTON = 6,
    KIND_PROGRESS_BAR = 12,
    KIND_EDIT = 19,
    KIND_MENU_ITEM = 20,
    KIND_NO_OWN_BITMAP = 21,  // keeps a 1 x 1 bitmap
};
