// Prints the screen's LOGPIXELSX as a DPI-aware program sees it: the test bed checks its prefix's scale.
#include <windows.h>

#include <cstdio>

int main()
{
    SetProcessDPIAware();
    HDC screen = GetDC(nullptr);
    std::printf("%d\n", GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    return 0;
}
