#include <gtest/gtest.h>

#include "HostTestWindow.h"

namespace {
ControlHandle h(const Control& c)
{
    return c.handle();
}

bool received(const RecordingControl& c, int code)
{
    return !c.of(code).empty();
}
}  // namespace

TEST(HostRouting, ReleaseOverOtherControlGivesLeaveAndEnterButNoClick)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    w.recordCallbacks();
    RecordingControl& a = w.add(10, 40, 50, 20);
    RecordingControl& b = w.add(100, 40, 50, 20);
    w.mouse(WM_MOUSEMOVE, 20, 50);
    w.mouse(WM_LBUTTONDOWN, 20, 50, MK_LBUTTON);
    EXPECT_TRUE(w.host.pressed);
    EXPECT_EQ(GetCapture(), w.hwnd);
    a.events.clear();
    w.mouse(WM_MOUSEMOVE, 110, 50, MK_LBUTTON);
    // While captured only the pressed control hears the mouse, with its own handle as wParam.
    EXPECT_EQ(a.of(WM_MOUSEMOVE), (std::vector<RecordedEvent>{{WM_MOUSEMOVE, h(a), MAKELPARAM(110, 50)}}));
    EXPECT_TRUE(b.events.empty());

    w.mouse(WM_LBUTTONUP, 110, 50);
    EXPECT_EQ(a.of(WM_LBUTTONUP), (std::vector<RecordedEvent>{{WM_LBUTTONUP, h(a), MAKELPARAM(110, 50)}}));
    EXPECT_EQ(a.of(EV_MOUSE_LEAVE), (std::vector<RecordedEvent>{{EV_MOUSE_LEAVE, 0, static_cast<LPARAM>(h(b))}}));
    EXPECT_EQ(b.of(EV_MOUSE_ENTER), (std::vector<RecordedEvent>{{EV_MOUSE_ENTER, 0, static_cast<LPARAM>(h(a))}}));
    EXPECT_FALSE(received(a, EV_CLICK));
    EXPECT_FALSE(received(b, EV_CLICK));
    EXPECT_TRUE(HostTestWindow::callsOf(OnClick).empty());
    EXPECT_EQ(HostTestWindow::callsOf(OnMouseUp), (std::vector<HostCall>{{OnMouseUp, 0, 0, MAKELPARAM(110, 50), 0}}));
    EXPECT_EQ(w.host.hoverControl, h(b));
    EXPECT_FALSE(w.host.pressed);
    EXPECT_EQ(w.host.pressedControl, 0u);
    EXPECT_NE(GetCapture(), w.hwnd);
}

TEST(HostRouting, PressAndReleaseOnOneControlClicksAndFocusesIt)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    w.recordCallbacks();
    RecordingControl& a = w.add(10, 40, 50, 20);
    w.mouse(WM_MOUSEMOVE, 20, 50);
    w.mouse(WM_LBUTTONDOWN, 20, 50, MK_LBUTTON);
    w.mouse(WM_LBUTTONUP, 20, 50);
    const LPARAM at = MAKELPARAM(20, 50);
    EXPECT_EQ(a.codes(), (std::vector<int>{EV_MOUSE_ENTER, WM_MOUSEMOVE, EV_QUERY_PRESS, EV_FOCUS, WM_LBUTTONDOWN,
                                           WM_LBUTTONUP, EV_CLICK}));
    EXPECT_EQ(a.of(EV_CLICK)[0], (RecordedEvent{EV_CLICK, h(a), at}));
    EXPECT_EQ(w.host.focusedControl, h(a));
    EXPECT_EQ(HostTestWindow::calls,
              (std::vector<HostCall>{{OnMouseEnter, h(a), 0, at, 6}, {OnMouseDown, h(a), MK_LBUTTON, at, 6},
                                     {OnFocus, h(a), MK_LBUTTON, at, 6}, {OnMouseUp, 0, 0, at, 0},
                                     {OnClick, h(a), 0, at, 6}}));
}

TEST(HostRouting, ControlAtFindsTheTopmostVisibleEnabledControl)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    RecordingControl& base = w.add(0, 40, 200, 100);
    RecordingControl& child = w.add(10, 50, 20, 20, true, 6, h(base));
    RecordingControl& top = w.add(50, 40, 50, 50);
    RecordingControl& disabled = w.add(60, 40, 10, 10);
    RecordingControl& hidden = w.add(150, 40, 50, 50);
    disabled.disabled(true);
    hidden.visible(false);
    struct Case {
        float x, y;
        ControlHandle expected;
    } cases[] = {
        {55, 45, h(top)},   {65, 45, h(top)},     {160, 45, h(base)}, {15, 55, h(child)}, {29, 69, h(child)},
        {30, 70, h(base)},  {0, 40, h(base)},     {199, 139, h(base)}, {200, 45, 0},      {100, 140, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HostWindow::controlAt(w.host.lastControl, c.x, c.y), c.expected) << c.x << ", " << c.y;

    // A real press falls through the disabled control to the one underneath.
    w.mouse(WM_LBUTTONDOWN, 65, 45, MK_LBUTTON);
    w.mouse(WM_LBUTTONUP, 65, 45);
    EXPECT_TRUE(received(top, EV_CLICK));
    EXPECT_FALSE(received(disabled, WM_LBUTTONDOWN));

    base.visible(false);
    EXPECT_EQ(HostWindow::controlAt(w.host.lastControl, 15, 55), 0u) << "a hidden parent hides its children";
}

TEST(HostRouting, DoubleClickTravelsAsAPressMarked10086)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    w.recordCallbacks();
    RecordingControl& a = w.add(10, 40, 50, 20);
    w.mouse(WM_MOUSEMOVE, 20, 50);
    w.mouse(WM_LBUTTONDOWN, 20, 50, MK_LBUTTON);
    w.mouse(WM_LBUTTONUP, 20, 50);
    HostTestWindow::calls.clear();
    EXPECT_EQ(w.mouse(WM_LBUTTONDBLCLK, 20, 50, MK_LBUTTON), 0);
    EXPECT_EQ(a.of(WM_LBUTTONDOWN).back(), (RecordedEvent{WM_LBUTTONDOWN, doubleClickMark, MAKELPARAM(20, 50)}));
    EXPECT_EQ(HostTestWindow::callsOf(OnMouseDown).size(), 1u);
    EXPECT_EQ(HostTestWindow::callsOf(OnDoubleClick),
              (std::vector<HostCall>{{OnDoubleClick, h(a), doubleClickMark, MAKELPARAM(20, 50), 6}}));
}

TEST(HostRouting, PressOnNoControlMovesTheWindowOnlyWhenDraggable)
{
    struct Case {
        bool draggable;
        bool onLabel;  // a control that takes no press
        bool moves;
    } cases[] = {{true, false, true}, {false, false, false}, {true, true, true}, {false, true, false}};
    for (const Case& c : cases) {
        HostTestWindow w;
        HostAttachOptions options;
        options.draggable = c.draggable;
        ASSERT_TRUE(w.attach(options));
        RecordingControl& label = w.add(10, 40, 50, 20, false);
        const int x = c.onLabel ? 20 : 150;
        w.mouse(WM_LBUTTONDOWN, x, 50, MK_LBUTTON);
        w.mouse(WM_LBUTTONUP, x, 50);
        const bool moved = !HostTestWindow::swallowed.empty() && HostTestWindow::swallowed[0].message ==
                           WM_NCLBUTTONDOWN && HostTestWindow::swallowed[0].wParam == HTCAPTION;
        EXPECT_EQ(moved, c.moves) << "draggable " << c.draggable << " on label " << c.onLabel;
        EXPECT_EQ(received(label, WM_LBUTTONDOWN), c.onLabel);
        EXPECT_FALSE(w.host.pressed);
    }
}

TEST(HostRouting, ResizeBordersSendTheirSizeCodesAndHideThemFromControls)
{
    HostTestWindow w;
    HostAttachOptions options;
    options.resizable = true;
    ASSERT_TRUE(w.attach(options));
    RecordingControl& strip = w.add(0, 80, 300, 40);
    struct Case {
        int x, y, code;
    } cases[] = {{2, 2, 4},     {150, 2, 3},   {295, 2, 5}, {2, 195, 7}, {150, 195, 6},
                 {295, 195, 8}, {2, 100, 1},   {295, 100, 2}, {150, 100, 0}, {289, 2, 3}};
    for (const Case& c : cases) {
        HostTestWindow::swallowed.clear();
        strip.events.clear();
        w.mouse(WM_MOUSEMOVE, 150, 100);
        w.mouse(WM_MOUSEMOVE, c.x, c.y);
        w.mouse(WM_LBUTTONDOWN, c.x, c.y, MK_LBUTTON);
        w.mouse(WM_LBUTTONUP, c.x, c.y);
        const bool sized = !HostTestWindow::swallowed.empty() && HostTestWindow::swallowed[0].message == WM_SYSCOMMAND;
        EXPECT_EQ(sized ? static_cast<int>(HostTestWindow::swallowed[0].wParam) : 0, c.code ? SC_SIZE | c.code : 0)
            << c.x << ", " << c.y;
        if (c.code && c.y == 100) {
            EXPECT_EQ(strip.of(EV_MOUSE_LEAVE).size(), 1u) << "entering the zone leaves the control";
            EXPECT_FALSE(received(strip, WM_LBUTTONDOWN));
            EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEWE)));
        }
    }
}

TEST(HostRouting, WindowMessagesReachTheRightControl)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    w.recordCallbacks();
    RecordingControl& a = w.add(10, 40, 50, 20);
    const HCURSOR hand = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND));
    a.cursor(CursorSpec::handle(hand));

    // Timers: a control's id reaches it; an id of the application's own names no control of this tree.
    HostTestWindow other;
    ASSERT_TRUE(other.attach());
    RecordingControl& stranger = other.add(0, 40, 10, 10);
    w.send(WM_TIMER, h(a), 0);
    w.send(WM_TIMER, h(stranger), 0);
    w.send(WM_TIMER, 1, 0);
    EXPECT_EQ(a.of(WM_TIMER), (std::vector<RecordedEvent>{{WM_TIMER, h(a), 0}}));
    EXPECT_FALSE(received(stranger, WM_TIMER));

    w.mouse(WM_RBUTTONDOWN, 150, 50);
    w.mouse(WM_MOUSEMOVE, 20, 50);
    w.send(WM_SETCURSOR, reinterpret_cast<WPARAM>(w.hwnd), HTCLIENT);
    EXPECT_EQ(GetCursor(), hand);
    w.mouse(WM_RBUTTONUP, 20, 50);
    w.mouse(WM_LBUTTONDOWN, 20, 50, MK_LBUTTON);
    w.send(WM_CHAR, 'x', 7);
    // Deactivation ends the press: the pressed control is blurred and the capture released.
    w.send(WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_FALSE(w.host.pressed);
    EXPECT_NE(GetCapture(), w.hwnd);
    w.send(WM_MOUSELEAVE);
    EXPECT_EQ(w.host.hoverControl, 0u);
    w.send(WM_SETCURSOR, reinterpret_cast<WPARAM>(w.hwnd), HTCLIENT);
    EXPECT_EQ(GetCursor(), w.host.defaultCursor);

    EXPECT_EQ(a.of(WM_CHAR), (std::vector<RecordedEvent>{{WM_CHAR, 'x', 7}})) << "keys go to the focused control";
    EXPECT_EQ(a.of(EV_BLUR), (std::vector<RecordedEvent>{{EV_BLUR, 0, 0}}));
    EXPECT_EQ(a.of(EV_MOUSE_LEAVE).size(), 2u) << "deactivation, then leaving the window";
    const LPARAM at = MAKELPARAM(20, 50);
    EXPECT_EQ(HostTestWindow::callsOf(OnRightDown), (std::vector<HostCall>{{OnRightDown, 0, 0, MAKELPARAM(150, 50), 0}}));
    EXPECT_EQ(HostTestWindow::callsOf(OnRightUp), (std::vector<HostCall>{{OnRightUp, h(a), 0, at, 6}}));
    EXPECT_EQ(HostTestWindow::callsOf(OnMouseLeave), (std::vector<HostCall>{{OnMouseLeave, h(a), 0, 0, 6}}));
}

TEST(HostRouting, DoubleClickOnTheCaptionAreaTogglesMaximizeOnlyWithAMaximizeBox)
{
    constexpr DWORD resizable = WS_POPUP | WS_VISIBLE | WS_THICKFRAME | WS_MAXIMIZEBOX;
    constexpr DWORD fixed = WS_POPUP | WS_VISIBLE;
    struct Case {
        const char* what;
        DWORD style;
        std::optional<int> frameFlags;
        int y;
        bool toggles;
    } cases[] = {
        {"on the caption label", resizable, std::nullopt, 15, true},
        {"on bare caption area", resizable, FRAME_MAXIMIZE, 15, true},
        {"below the caption area", resizable, FRAME_MAXIMIZE, 40, false},
        {"without a maximize box", fixed, std::nullopt, 15, false},
    };
    for (const Case& c : cases) {
        HostTestWindow w(c.style);
        HostAttachOptions options;
        options.frameFlags = c.frameFlags;
        ASSERT_TRUE(w.attach(options)) << c.what;
        HostTestWindow::passWindowCommands = true;
        for (int round = 0; round < 2; ++round) {
            const bool wasZoomed = IsZoomed(w.hwnd) != FALSE;
            HostTestWindow::swallowed.clear();
            w.mouse(WM_LBUTTONDBLCLK, 150, c.y, MK_LBUTTON);
            w.mouse(WM_LBUTTONUP, 150, c.y);
            w.pump();
            std::vector<WPARAM> commands;
            for (const MSG& m : HostTestWindow::swallowed)
                if (m.message == WM_SYSCOMMAND)
                    commands.push_back(m.wParam & 0xFFF0);
            const WPARAM expected = wasZoomed ? SC_RESTORE : SC_MAXIMIZE;
            EXPECT_EQ(commands, c.toggles ? std::vector<WPARAM>{expected} : std::vector<WPARAM>{})
                << c.what << " round " << round;
            EXPECT_EQ(IsZoomed(w.hwnd) != FALSE, c.toggles ? !wasZoomed : wasZoomed) << c.what << " round " << round;
        }
    }
}
