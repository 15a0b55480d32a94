#include "HostWindow.h"

HostWindow* HostWindow::fromWindow(HWND hwnd)
{
    return reinterpret_cast<HostWindow*>(GetPropW(hwnd, L"Ex_Wnd_Control"));
}

HostHandle HostWindow::handle() const
{
    return static_cast<HostHandle>(reinterpret_cast<UINT_PTR>(this));
}

// FIXME: the tooltip window, the back buffer and its redraw come with the host's attach and rendering.
void HostWindow::setControlTooltip(ControlHandle, const std::string&) {}
void HostWindow::redrawIntoBackBuffer(const RectF&) {}
GpBitmap* HostWindow::cloneBackBufferArea(const RectF&)
{
    return nullptr;
}
