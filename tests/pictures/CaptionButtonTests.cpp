#include <gtest/gtest.h>

#include "CaptionButton.h"
#include "Engine.h"
#include "Pixels.h"
#include "TestHost.h"
#include "TestPictures.h"

namespace {
// Rows of the face that exist in the 20-pixel strip (the 19-row face runs one past it).
constexpr int stripRows = 18;

// How many pixels of the button differ from the strip face at column `faceX`.
int mismatchesWithFace(CaptionButton& button, int faceX)
{
    const int width = static_cast<int>(button.width());
    int mismatches = 0;
    for (int y = 0; y < stripRows; ++y)
        for (int x = 0; x < width; ++x)
            mismatches +=
                colorsDiffer(pixelAt(button.bitmap(), x, y), pixelAt(engine().builtinStrip, faceX + x, 2 + y));
    return mismatches;
}

class CountingCaptionButton : public CaptionButton {
public:
    void transitionTick() override
    {
        ++ticks;
        CaptionButton::transitionTick();
    }
    int ticks = 0;
};

bool postedNothing(TestHost& host)
{
    host.pumpPending();
    return host.commands.empty();
}
}  // namespace

TEST(CaptionButton, FacesComeFromTheStripColumnOfTypeAndState)
{
    const struct {
        int type;
        bool zoomed;
        int columns[3];
    } cases[] = {
        {4, false, {0, 40, 80}},        {8, false, {120, 149, 178}},   {8, true, {207, 236, 265}},
        {16, false, {294, 323, 352}},   {32, false, {381, 410, 439}},  {64, false, {468, 497, 526}},
        {128, false, {555, 584, 613}},  {256, false, {642, 671, 700}},
    };
    TestHost host(500, 300);
    for (const auto& c : cases) {
        ShowWindow(host.hwnd(), c.zoomed ? SW_MAXIMIZE : SW_RESTORE);
        ASSERT_EQ(IsZoomed(host.hwnd()) != FALSE, c.zoomed);
        CaptionButton button;
        button.createCaptionButton(host.parent(), 100, 7, c.type == 4 ? 39 : 28, 19, c.type);
        for (int state : {0, 1, 2, 3}) {
            button.paint(state, true);
            EXPECT_EQ(mismatchesWithFace(button, c.columns[state == 3 ? 0 : state]), 0)
                << "type " << c.type << " zoomed " << c.zoomed << " state " << state;
        }
    }
}

TEST(CaptionButton, PressShowsPressedFaceAndReleaseTheHoverFace)
{
    TestHost host;
    CaptionButton button;
    button.createCaptionButton(host.parent(), 100, 7, 39, 19, 4);
    EXPECT_EQ(button.sendEvent(EV_QUERY_PRESS, 0, 0), 0) << "takes the press although not focusable";
    button.sendEvent(WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(mismatchesWithFace(button, 80), 0);
    button.sendEvent(WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(mismatchesWithFace(button, 40), 0);
}

TEST(CaptionButton, HoverFadesInOverThreeFramesAndLeaveOverFour)
{
    TestHost host;
    CountingCaptionButton button;
    button.createCaptionButton(host.parent(), 100, 7, 28, 19, 16);
    button.sendEvent(EV_MOUSE_ENTER, 0, 0);
    EXPECT_EQ(button.transitionFrames(), 3);
    EXPECT_EQ(mismatchesWithFace(button, 323), 0);
    EXPECT_TRUE(host.pumpUntil([&] { return button.ticks == 3 && !KillTimer(host.hwnd(), button.handle() + 1); }));

    button.ticks = 0;
    button.sendEvent(EV_MOUSE_LEAVE, 0, 0);
    EXPECT_EQ(button.transitionFrames(), 4);
    EXPECT_EQ(mismatchesWithFace(button, 294), 0);
    EXPECT_TRUE(host.pumpUntil([&] { return button.ticks == 4 && !KillTimer(host.hwnd(), button.handle() + 1); }));
}

TEST(CaptionButton, ShownStateIsNotRepaintedUnlessForced)
{
    TestHost host;
    CaptionButton button;
    button.createCaptionButton(host.parent(), 100, 7, 39, 19, 4);
    GDIP(GdipGraphicsClear)(button.graphics(), 0xFF123456);
    const int invalidations = host.invalidations;
    button.paint(0);
    EXPECT_EQ(pixelAt(button.bitmap(), 20, 10), 0xFF123456u);
    EXPECT_EQ(host.invalidations, invalidations);
    button.paint(0, true);
    EXPECT_EQ(mismatchesWithFace(button, 0), 0);
}

TEST(CaptionButton, ClicksPostTheWindowCommandForTypeAndWindowState)
{
    const struct {
        int type;
        int show;
        UINT message;
        WPARAM command;
    } cases[] = {
        {4, SW_RESTORE, WM_CLOSE, 0},
        {8, SW_RESTORE, WM_SYSCOMMAND, SC_MAXIMIZE},
        {8, SW_MAXIMIZE, WM_SYSCOMMAND, SC_RESTORE},
        {16, SW_RESTORE, WM_SYSCOMMAND, SC_MINIMIZE},
        {16, SW_MINIMIZE, 0, 0},
        {32, SW_RESTORE, 0, 0},
        {256, SW_RESTORE, 0, 0},
    };
    TestHost host;
    for (const auto& c : cases) {
        ShowWindow(host.hwnd(), c.show);
        CaptionButton button;
        button.createCaptionButton(host.parent(), 100, 7, 28, 19, c.type);
        host.pumpPending();
        host.commands.clear();
        button.sendEvent(EV_CLICK, 0, 0);
        host.pumpPending();
        if (c.message == 0) {
            EXPECT_TRUE(host.commands.empty()) << "type " << c.type << " show " << c.show;
        } else {
            ASSERT_EQ(host.commands.size(), 1u) << "type " << c.type << " show " << c.show;
            EXPECT_EQ(host.commands[0].message, c.message);
            EXPECT_EQ(host.commands[0].wParam, c.command);
        }
    }
}

TEST(CaptionButton, DisabledButtonIgnoresClicks)
{
    TestHost host;
    for (int type : {4, 8, 16}) {
        CaptionButton button;
        button.createCaptionButton(host.parent(), 100, 7, 28, 19, type);
        button.disabled(true);
        host.pumpPending();
        host.commands.clear();
        button.sendEvent(EV_CLICK, 0, 0);
        EXPECT_TRUE(postedNothing(host)) << "type " << type;
    }
}

TEST(CaptionButton, RestoringAZoomedWindowTurnsTheFaceBackToMaximize)
{
    TestHost host;
    host.passSysCommands = true;
    ShowWindow(host.hwnd(), SW_MAXIMIZE);
    CaptionButton maximize, minimize;
    maximize.createCaptionButton(host.parent(), 100, 7, 28, 19, 8);
    minimize.createCaptionButton(host.parent(), 130, 7, 28, 19, 16);
    EXPECT_EQ(mismatchesWithFace(maximize, 207), 0) << "restore face while zoomed";

    maximize.sendEvent(EV_CLICK, 0, 0);
    ASSERT_TRUE(host.pumpUntil([&] { return !IsZoomed(host.hwnd()); }));
    GDIP(GdipGraphicsClear)(minimize.graphics(), 0xFF123456);
    for (Control* button : std::initializer_list<Control*>{&maximize, &minimize})
        SendMessageW(host.hwnd(), WM_EX_MOVED, button->handle(), 1);
    EXPECT_EQ(mismatchesWithFace(maximize, 120), 0);
    EXPECT_EQ(pixelAt(minimize.bitmap(), 5, 5), 0xFF123456u) << "only type 8 repaints when moved";
}
