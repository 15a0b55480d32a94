// Edit control costs, each against a small baseline measured in the same run: a keystroke in a
// 10,000-line text against one in a 10-line text, and hitTest on a 1,000-character line against a
// 10-character line, once on a line measured before and once right after a keystroke on that line.
// Prints the ratios and whether the goals are met.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "EditControl.h"
#include "Engine.h"
#include "HostWindow.h"
#include "SystemDll.h"

namespace {

double now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The median of `rounds` timings of `step`.
double median(int rounds, const std::function<void()>& step)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        pump();
        const double start = now();
        step();
        times.push_back(now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string lines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i)
            text += "\r\n";
        text += "line of some text " + std::to_string(i);
    }
    return text;
}

}  // namespace

int main()
{
    restrictDllSearchPath();
    startEngine();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BenchEdit";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, L"BenchEdit", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 600, 400, nullptr, nullptr,
                                wc.hInstance, nullptr);
    HostWindow host;
    HostAttachOptions options;
    options.draggable = false;
    options.frameFlags = 0;
    host.attach(hwnd, options);

    const auto keystroke = [&](int lineCount) {
        EditControl edit;
        edit.create(parentWindow(hwnd), 10, 10, 440, 340, lines(lineCount), std::nullopt, std::nullopt, std::nullopt,
                    std::nullopt, std::nullopt, true);
        host.setFocus(edit.handle(), false);
        edit.setSelection({lineCount / 2, 3}, {lineCount / 2, 3});
        const double time = median(41, [&] {
            SendMessageW(hwnd, WM_CHAR, 'x', 0);
            SendMessageW(hwnd, WM_KEYDOWN, VK_BACK, 0);
        });
        edit.destroy();
        return time;
    };
    const double shortText = keystroke(10);
    const double longText = keystroke(10000);

    const auto hitTest = [&](int characters) {
        EditControl edit;
        edit.create(parentWindow(hwnd), 10, 10, 440, 30, std::string(static_cast<size_t>(characters), 'm'));
        const RectF b = edit.currentBounds();
        const int y = static_cast<int>(b.y + b.height / 2);
        int sink = 0;
        const double time = median(101, [&] {
            for (int x = 0; x < 440; x += 44)
                sink += edit.hitTest(static_cast<int>(b.x) + x, y).column;
        });
        edit.destroy();
        return time + sink * 0.0;
    };
    const double shortLine = hitTest(10);
    const double longLine = hitTest(1000);

    // A click right after a keystroke on the same line (a character typed or deleted by turns in its
    // middle); the line was clicked before.
    const auto hitAfterEdit = [&](int characters) {
        EditControl edit;
        edit.create(parentWindow(hwnd), 10, 10, 440, 30, std::string(static_cast<size_t>(characters), 'm'));
        host.setFocus(edit.handle(), false);
        const RectF b = edit.currentBounds();
        const int y = static_cast<int>(b.y + b.height / 2);
        int sink = 0, x = 0;
        std::vector<double> times;
        edit.setSelection({1, characters / 2}, {1, characters / 2});
        for (int i = 0; i < 41; ++i) {
            if (i % 2 == 0)
                SendMessageW(hwnd, WM_CHAR, 'x', 0);
            else
                SendMessageW(hwnd, WM_KEYDOWN, VK_BACK, 0);
            pump();
            x = (x + 97) % 440;
            const double start = now();
            sink += edit.hitTest(static_cast<int>(b.x) + x, y).column;
            times.push_back(now() - start);
        }
        edit.destroy();
        std::sort(times.begin(), times.end());
        return times[times.size() / 2] + sink * 0.0;
    };
    const double shortEdited = hitAfterEdit(10);
    const double longEdited = hitAfterEdit(1000);

    const double keyRatio = longText / shortText;
    const double hitRatio = longLine / shortLine;
    std::printf("keystroke, 10000 lines / 10 lines: %.2f (goal < 2: %s)\n", keyRatio, keyRatio < 2 ? "met" : "not met");
    std::printf("hitTest, 1000 characters / 10 characters: %.2f (goal < 3: %s)\n", hitRatio,
                hitRatio < 3 ? "met" : "not met");
    const double editedRatio = longEdited / shortEdited;
    std::printf("hitTest right after a keystroke on the line, 1000 characters / 10 characters: %.2f (goal < 3: %s)\n",
                editedRatio, editedRatio < 3 ? "met" : "not met");
    DestroyWindow(hwnd);
    return 0;
}
