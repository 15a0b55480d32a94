#include <gtest/gtest.h>

#include <algorithm>

#include "RedrawQueue.h"
#include "RenderTestWindow.h"

namespace {
constexpr ARGB red = 0xFFFF0000;

bool sameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != 0;
}
}  // namespace

TEST(Present, OneBitBltPerQueuedRectangleOrOneUpdateLayeredWindowPerRun)
{
    struct Case {
        std::optional<int> windowAlpha;
        int blts;
        int layered;
    } cases[] = {{std::nullopt, 3, 0}, {200, 0, 1}};
    for (const Case& c : cases) {
        RenderTestWindow window;
        HostAttachOptions options;
        options.windowAlpha = c.windowAlpha;
        ASSERT_TRUE(window.attach(options));
        SolidControl& trigger = window.add({0, 0, 20, 20}, red);
        trigger.disabled(true);
        SolidControl& distant = window.add({100, 100, 20, 20}, red);
        // While the first rectangle is drawn, two more are asked for: they join the same queue run.
        bool asked = false;
        trigger.onEvent = [&](int code, LPARAM) {
            if (code != EV_QUERY_DIM || asked)
                return;
            asked = true;
            window.host.invalidate({100, 100, 20, 20}, RedrawAppend);
            window.host.invalidate({40, 40, 10, 10}, RedrawAppend);
        };
        RenderTestWindow::presents.clear();
        window.host.invalidate({0, 0, 20, 20}, RedrawAppend);
        EXPECT_TRUE(window.host.redrawQueue->isIdle());
        EXPECT_EQ(window.host.redrawQueue->pending(), 0u);
        EXPECT_EQ(RenderTestWindow::count(false), c.blts);
        EXPECT_EQ(RenderTestWindow::count(true), c.layered);
        (void)distant;
    }
}

TEST(Present, QueuedFirstIsDrawnNextAndNothingAskedForDuringARunIsLost)
{
    RenderTestWindow window;
    ASSERT_TRUE(window.attach());
    SolidControl& trigger = window.add({0, 0, 20, 20}, red);
    trigger.disabled(true);
    bool asked = false;
    trigger.onEvent = [&](int code, LPARAM) {
        if (code != EV_QUERY_DIM || asked)
            return;
        asked = true;
        window.host.invalidate({30, 0, 10, 10}, RedrawAppend);
        window.host.invalidate({50, 0, 10, 10}, RedrawFirst);
        window.host.invalidate({70, 0, 10, 10}, RedrawNow);  // waits for the running redraw
    };
    RenderTestWindow::presents.clear();
    window.host.invalidate({0, 0, 20, 20}, RedrawAppend);
    const RECT expected[] = {{0, 0, 20, 20}, {50, 0, 60, 10}, {30, 0, 40, 10}, {70, 0, 80, 10}};
    ASSERT_EQ(RenderTestWindow::presents.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_TRUE(sameRect(RenderTestWindow::presents[i].rect, expected[i])) << i;
}

TEST(Present, ImmediateModeDrawsAtOnceAndTheLockDropsRedrawsAndPresents)
{
    RenderTestWindow window;
    ASSERT_TRUE(window.attach());
    SolidControl& control = window.add({10, 10, 20, 20}, red);
    RenderTestWindow::presents.clear();
    window.host.invalidate({10, 10, 20, 20}, RedrawNow);
    EXPECT_EQ(RenderTestWindow::count(false), 1);
    EXPECT_EQ(window.pixel(15, 15), red);

    RenderTestWindow::presents.clear();
    window.host.redrawLock = true;
    control.visible(false);
    window.pump();
    window.host.invalidate({10, 10, 20, 20}, RedrawAppend);
    window.host.present();
    EXPECT_EQ(window.host.redrawQueue->pending(), 0u) << "the queue still empties";
    EXPECT_EQ(RenderTestWindow::presents.size(), 0u);
    EXPECT_EQ(window.pixel(15, 15), red) << "nothing was drawn";
    window.host.redrawLock = false;
}

namespace {
std::vector<WPARAM> sizeKinds;  // wParam of every WM_SIZE that reached the host
int resizes = 0;
}  // namespace

TEST(Present, MinimizingAndRestoringToTheSameSizeKeepsTheBuffers)
{
    RenderTestWindow window(240, 160, WS_POPUP | WS_VISIBLE | WS_MINIMIZEBOX);
    ASSERT_TRUE(window.attach());
    sizeKinds.clear();
    resizes = 0;
    window.host.setOnMessage([](HWND, UINT msg, WPARAM wParam, LPARAM) -> LRESULT {
        if (msg == WM_SIZE)
            sizeKinds.push_back(wParam);
        return -1;
    });
    window.host.setOnResize([](HWND, int, int) {
        ++resizes;
        return 0;
    });
    // A mark only the back buffer holds: a rebuild would paint the background over it. (Handles of
    // rebuilt bitmaps prove nothing: GDI may give a new bitmap the handle of the one just deleted.)
    SetPixel(window.host.backDC, 100, 100, RGB(1, 2, 3));
    const HBITMAP back = window.host.backBitmap, background = window.host.backgroundBitmap;
    ShowWindow(window.hwnd, SW_MINIMIZE);
    window.pump();
    ShowWindow(window.hwnd, SW_RESTORE);
    window.pump();
    window.host.onSize(window.hwnd, SIZE_MINIMIZED);
    EXPECT_NE(std::find(sizeKinds.begin(), sizeKinds.end(), WPARAM{SIZE_MINIMIZED}), sizeKinds.end());
    EXPECT_EQ(sizeKinds.back(), WPARAM{SIZE_RESTORED}) << "both went through the host";
    EXPECT_EQ(resizes, 0);
    EXPECT_EQ(GetPixel(window.host.backDC, 100, 100), RGB(1, 2, 3)) << "the back buffer was not rebuilt";
    EXPECT_EQ(window.host.backBitmap, back);
    EXPECT_EQ(window.host.backgroundBitmap, background);
    EXPECT_EQ(window.host.size.cx, 240);

    SetWindowPos(window.hwnd, nullptr, 0, 0, 900, 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    window.pump();
    EXPECT_EQ(window.host.size.cx, 900);
    EXPECT_EQ(window.host.size.cy, 120);
    EXPECT_EQ(resizes, 1);
    EXPECT_NE(GetPixel(window.host.backDC, 100, 100), RGB(1, 2, 3)) << "a new size rebuilds";
    BITMAP info = {};
    GetObjectW(window.host.backBitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 900);
    EXPECT_EQ(info.bmHeight, 120);
    const SIZE scratch = HostWindow::scratchCanvasSize();
    EXPECT_GE(scratch.cx, 900) << "the scratch canvas grows to the widest window";
    EXPECT_GE(scratch.cy, 160) << "and keeps the height it had";
}
