// The installer's entry point.
#include <windows.h>

#include "Engine.h"
#include "SystemDll.h"
#include "Text.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    restrictDllSearchPath();
    startEngine();
    const std::wstring title = toWide("\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7");  // 飞鲸网游加速器
    HWND window = CreateWindowExW(0, toWide(engineWindowClass).c_str(), title.c_str(), WS_POPUP | WS_SYSMENU |
                                  WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT, 588, 438, nullptr, nullptr, instance,
                                  nullptr);
    if (!window)
        return 1;
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(window, nullptr, work.left + (work.right - work.left - 588) / 2,
                 work.top + (work.bottom - work.top - 438) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(window, SW_SHOW);
    MSG msg;
    while (IsWindow(window) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
