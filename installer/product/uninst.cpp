// The installed product's uninstaller (placeholder program until the uninstaller exists).
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
