#include <gtest/gtest.h>

#include <thread>

#include "HostTestWindow.h"

namespace {
constexpr COLORREF white = RGB(255, 255, 255);
constexpr COLORREF red = RGB(255, 0, 0);
// Opaque fills carry alpha 254, so the composed white reads back premultiplied.
constexpr COLORREF composedWhite = RGB(254, 254, 254);

// A red control at (20, 40) that moves itself to (120, 40) when `trigger` reaches it.
RecordingControl& movingControl(HostTestWindow& w, int trigger)
{
    RecordingControl& c = w.add(20, 40, 30, 30);
    GDIP(GdipGraphicsClear)(c.graphics(), 0xFFFF0000);
    c.actions[trigger] = [&c] {
        if (c.currentBounds().x == 20)
            c.move(120.0f, std::nullopt, std::nullopt, std::nullopt);
    };
    c.invalidate();
    w.pump();
    return c;
}

bool attachWhite(HostTestWindow& w)
{
    HostAttachOptions options;
    options.backgroundColor = white;
    options.frameStyle = 0;
    options.frameFlags = 0;
    return w.attach(options);
}
}  // namespace

TEST(HostMove, MoveFromInsideAPaintPassIsAnsweredAtOnceAndDrawn)
{
    HostTestWindow w;
    ASSERT_TRUE(attachWhite(w));
    RecordingControl& c = movingControl(w, EV_SNAPSHOT);
    EXPECT_EQ(GetPixel(w.host.backDC, 30, 50), red);
    const int before = HostTestWindow::hostSaw(WM_EX_MOVED);
    // The background rebuild holds the redraw lock while it asks each control for EV_SNAPSHOT.
    w.host.setBackground(std::nullopt, white, 0, false);
    w.pump();
    EXPECT_EQ(c.currentBounds().x, 120);
    EXPECT_EQ(HostTestWindow::hostSaw(WM_EX_MOVED), before + 1) << "answered 1 the first time";
    EXPECT_FALSE(w.host.redrawLock);
    EXPECT_EQ(GetPixel(w.host.backDC, 130, 50), red);
    EXPECT_EQ(GetPixel(w.host.backDC, 30, 50), composedWhite);
}

TEST(HostMove, MoveFromInsideAnAnimationStepIsAnsweredAtOnceAndDrawn)
{
    HostTestWindow w(WS_POPUP);
    ASSERT_TRUE(attachWhite(w));
    static RecordingControl* c;
    static bool lockedAtMove;
    static int moved;
    c = &movingControl(w, WM_APP);
    c->actions[WM_APP] = [&w] {
        lockedAtMove = w.host.redrawLock;
        c->move(120.0f, std::nullopt, std::nullopt, std::nullopt);
    };
    // The animation shows the window with its redraw lock held, then lets pending messages run between
    // its steps: the event posted at that moment moves the control inside a step.
    moved = 0;
    w.host.setOnMessage([](HWND, UINT msg, WPARAM wParam, LPARAM) -> LRESULT {
        if (msg == WM_SHOWWINDOW && wParam)
            c->postEvent(WM_APP, 0, 0);
        moved += msg == WM_EX_MOVED;
        return -1;
    });
    w.host.show(1, 50);
    w.pump();
    EXPECT_TRUE(lockedAtMove);
    EXPECT_EQ(c->currentBounds().x, 120);
    EXPECT_EQ(moved, 1);
    EXPECT_FALSE(w.host.redrawLock);
    EXPECT_EQ(GetPixel(w.host.backDC, 130, 50), red);
    EXPECT_EQ(GetPixel(w.host.backDC, 30, 50), composedWhite);
}

TEST(HostMove, MoveInsideAMessageFromAnotherThreadIsNotRetriedUnderTheLock)
{
    // The installer's progress report: a message sent by the worker thread, handled between two steps of
    // an animation that holds the redraw lock, moves a control.
    HostTestWindow w(WS_POPUP);
    ASSERT_TRUE(attachWhite(w));
    static RecordingControl* c;
    static ULONGLONG moveMs;
    static std::thread worker;
    c = &movingControl(w, WM_APP);
    moveMs = 0;
    w.host.setOnMessage([](HWND hwnd, UINT msg, WPARAM wParam, LPARAM) -> LRESULT {
        if (msg == WM_SHOWWINDOW && wParam)
            worker = std::thread([hwnd] { SendMessageW(hwnd, WM_APP, 0, 0); });
        if (msg == WM_APP) {
            const ULONGLONG start = GetTickCount64();
            c->move(120.0f, std::nullopt, std::nullopt, std::nullopt);
            moveMs = GetTickCount64() - start;
            return 0;
        }
        return -1;
    });
    w.host.show(1, 300);
    if (worker.joinable())
        worker.join();
    w.pump();
    EXPECT_EQ(c->currentBounds().x, 120);
    EXPECT_LT(moveMs, 200u) << "the move waited for a lock its own thread holds";
    EXPECT_FALSE(w.host.redrawLock);
    EXPECT_EQ(GetPixel(w.host.backDC, 130, 50), red);
    EXPECT_EQ(GetPixel(w.host.backDC, 30, 50), composedWhite);
}
