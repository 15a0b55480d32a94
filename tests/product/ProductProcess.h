#pragma once
// The built "fj.exe" run as a process of its own, its window found by title, the screen read back under
// it and real mouse input sent to it.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace product_testing {

// "fj.exe" of this build tree: tests run from <build>\tests, the program lies in <build>\installer.
std::string programPath();

class ProductProcess {
public:
    ProductProcess();
    ~ProductProcess();  // ends the process if it still runs
    ProductProcess(const ProductProcess&) = delete;
    ProductProcess& operator=(const ProductProcess&) = delete;

    bool started() const { return info_.hProcess != nullptr; }
    DWORD id() const { return info_.dwProcessId; }
    // The process's top-level window with the product title once it is on screen, drawn; null when the
    // guard runs out.
    HWND waitForWindow(DWORD guardMs = 30000);
    // The exit code once the process has ended, or nullopt if it still runs after the guard.
    std::optional<DWORD> waitForExit(DWORD guardMs = 30000);

private:
    PROCESS_INFORMATION info_ = {};
};

// Every visible top-level window of the engine's class titled with the product's name.
std::vector<HWND> productWindows();

// What the screen shows inside a rectangle, captured at once.
class ScreenCapture {
public:
    explicit ScreenCapture(const RECT& screenRect);
    ~ScreenCapture();
    ScreenCapture(const ScreenCapture&) = delete;
    ScreenCapture& operator=(const ScreenCapture&) = delete;

    // Pixel at (x, y) relative to the rectangle's top-left corner.
    COLORREF at(int x, int y) const;
    // Pixels of `area` (same coordinates) whose red, green and blue all reach `minimum`.
    int brightPixels(const RECT& area, int minimum) const;
    // Pixels of `area` that differ from `color`.
    int pixelsOtherThan(const RECT& area, COLORREF color) const;
    const std::vector<DWORD>& pixels() const { return pixels_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<DWORD> pixels_;  // 0x00RRGGBB, top-down
};

// Real input through SendInput at screen coordinates.
void moveMouse(int x, int y);
void clickAt(int x, int y);
void dragFrom(int x, int y, int dx, int dy);

// Sleeps in small steps until `done` or the guard runs out.
template <typename Done>
bool waitUntil(Done done, DWORD guardMs = 20000)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > guardMs)
            return false;
        Sleep(20);
    }
    return true;
}

}  // namespace product_testing
