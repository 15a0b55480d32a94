#include "ProductProcess.h"

#include "Engine.h"
#include "ProductWindow.h"
#include "Text.h"

namespace product_testing {

namespace {

struct WindowSearch {
    DWORD processId = 0;  // 0: any process
    std::vector<HWND> found;
};

bool isProductWindow(HWND window)
{
    wchar_t className[64] = {}, text[64] = {};
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, text, 64);
    return IsWindowVisible(window) && toWide(engineWindowClass) == className && toWide(ProductWindow::title) == text;
}

BOOL CALLBACK collect(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((!search->processId || owner == search->processId) && isProductWindow(window))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> windowsOf(DWORD processId)
{
    WindowSearch search;
    search.processId = processId;
    EnumWindows(&collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Drawn: both panels reach the corners, the name's glyphs and the close picture are there.
bool isComplete(const ScreenCapture& screen)
{
    const int right = ProductWindow::width - 1, bottom = ProductWindow::height - 1;
    return screen.at(0, 0) == ProductWindow::backgroundColor && screen.at(right, 0) == ProductWindow::backgroundColor &&
           screen.at(0, bottom) == ProductWindow::panelColor && screen.at(right, bottom) == ProductWindow::panelColor &&
           screen.brightPixels(ProductWindow::nameArea, 200) > 0 &&
           screen.pixelsOtherThan(ProductWindow::closeArea, ProductWindow::backgroundColor) > 0;
}

void sendMouse(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

}  // namespace

std::string programPath()
{
    char self[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string folder(self, length);
    folder.resize(folder.find_last_of('\\') + 1);
    char full[MAX_PATH * 2];
    const DWORD fullLength = GetFullPathNameA((folder + "..\\installer\\fj.exe").c_str(), sizeof full, full, nullptr);
    return std::string(full, fullLength);
}

ProductProcess::ProductProcess()
{
    const std::string exe = programPath();
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info_))
        info_ = {};
}

ProductProcess::~ProductProcess()
{
    if (!info_.hProcess)
        return;
    // Asked first, as a user would close it: a killed program's window can linger on the display.
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        for (HWND window : windowsOf(info_.dwProcessId))
            PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(info_.hProcess, 10000) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 10000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

HWND ProductProcess::waitForWindow(DWORD guardMs)
{
    // Wine puts a new window's pixels on screen in pieces: complete, and the same twice in a row.
    HWND window = nullptr;
    std::vector<DWORD> last;
    waitUntil(
        [&] {
            window = nullptr;
            const std::vector<HWND> found = windowsOf(info_.dwProcessId);
            if (!found.empty()) {
                RECT frame;
                GetWindowRect(found.front(), &frame);
                const ScreenCapture screen(frame);
                if (isComplete(screen) && screen.pixels() == last)
                    window = found.front();
                last = isComplete(screen) ? screen.pixels() : std::vector<DWORD>();
            }
            return window != nullptr || WaitForSingleObject(info_.hProcess, 0) != WAIT_TIMEOUT;
        },
        guardMs);
    return window;
}

std::optional<DWORD> ProductProcess::waitForExit(DWORD guardMs)
{
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, guardMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

std::vector<HWND> productWindows()
{
    return windowsOf(0);
}

ScreenCapture::ScreenCapture(const RECT& screenRect)
    : width_(screenRect.right - screenRect.left), height_(screenRect.bottom - screenRect.top)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width_, height_, screen, screenRect.left, screenRect.top, SRCCOPY);
        GdiFlush();
        const DWORD* p = static_cast<const DWORD*>(bits);
        pixels_.assign(p, p + static_cast<size_t>(width_) * height_);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

ScreenCapture::~ScreenCapture() = default;

COLORREF ScreenCapture::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || pixels_.empty())
        return CLR_INVALID;
    const DWORD p = pixels_[static_cast<size_t>(y) * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int ScreenCapture::brightPixels(const RECT& area, int minimum) const
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF c = at(x, y);
            if (c != CLR_INVALID && GetRValue(c) >= minimum && GetGValue(c) >= minimum && GetBValue(c) >= minimum)
                ++count;
        }
    return count;
}

int ScreenCapture::pixelsOtherThan(const RECT& area, COLORREF color) const
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (at(x, y) != color)
                ++count;
    return count;
}

void moveMouse(int x, int y)
{
    SetCursorPos(x, y);
    sendMouse(MOUSEEVENTF_MOVE);  // a zero move: the window under the cursor hears of it
    Sleep(100);
}

void clickAt(int x, int y)
{
    moveMouse(x, y);
    sendMouse(MOUSEEVENTF_LEFTDOWN);
    Sleep(50);
    sendMouse(MOUSEEVENTF_LEFTUP);
}

void dragFrom(int x, int y, int dx, int dy)
{
    moveMouse(x, y);
    sendMouse(MOUSEEVENTF_LEFTDOWN);
    Sleep(100);
    constexpr int steps = 10;
    for (int i = 1; i <= steps; ++i) {
        SetCursorPos(x + dx * i / steps, y + dy * i / steps);
        sendMouse(MOUSEEVENTF_MOVE);
        Sleep(30);
    }
    Sleep(100);
    sendMouse(MOUSEEVENTF_LEFTUP);
    Sleep(100);
}

}  // namespace product_testing
