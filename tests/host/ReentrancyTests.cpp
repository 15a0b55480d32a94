#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "HostTestWindow.h"
#include "MessagePump.h"

namespace {
ControlHandle h(const Control& c)
{
    return c.handle();
}

enum class Action { Hide, Move, Destroy };

const char* nameOf(Action action)
{
    switch (action) {
    case Action::Hide: return "hide";
    case Action::Move: return "move";
    case Action::Destroy: return "destroy";
    }
    return "";
}

// What no handler may leave behind, checked once the handlers have returned: a slot naming a control
// outside the tree, the capture without a press, a hover target the resting mouse is not over.
void expectNoStaleState(HostTestWindow& w, POINT mouse, const std::string& what)
{
    HostWindow& host = w.host;
    for (ControlHandle slot : {host.hoverControl, host.pressedControl, host.focusedControl, host.keyboardFocus})
        EXPECT_TRUE(slot == 0 || host.isInTree(slot)) << what;
    for (const HostWindow::Accelerator& entry : host.accelerators)
        EXPECT_TRUE(host.isInTree(entry.control)) << what;
    if (host.pressed)
        return;  // the press decides hover when it ends
    EXPECT_NE(GetCapture(), w.hwnd) << what;
    auto underMouse = [&] {
        return HostWindow::controlAt(host.lastControl, static_cast<float>(mouse.x), static_cast<float>(mouse.y));
    };
    // The check is posted, and the pointer's X events may lag on a loaded machine: give it time.
    pumpUntil([&] { return host.hoverControl == underMouse(); }, 2000);
    EXPECT_EQ(host.hoverControl, underMouse()) << what;
}
}  // namespace

TEST(HostReentrancy, HandlersThatHideMoveOrDestroyTheirControlLeaveNoStaleState)
{
    // Every event the host gives a control, in the order the script below provokes them.
    const int codes[] = {EV_MOUSE_ENTER, WM_MOUSEMOVE,  WM_MOUSEWHEEL, EV_QUERY_PRESS, EV_FOCUS,
                         WM_LBUTTONDOWN, WM_LBUTTONUP,  EV_CLICK,      WM_RBUTTONDOWN, WM_RBUTTONUP,
                         WM_KEYDOWN,     WM_CHAR,       WM_SYSCHAR,    WM_TIMER,       EV_MOVED,
                         EV_SNAPSHOT,    EV_BLUR,       EV_QUERY_DIM,  EV_DRAW_TRANSITION, EV_MOUSE_LEAVE};
    // One window for every case (making and destroying shown windows is slow under Wine); each case
    // starts with new controls and the mouse outside.
    HostTestWindow w;
    ASSERT_TRUE(w.attach(HostAttachOptions{.frameFlags = 0}));
    for (int code : codes) {
        for (Action action : {Action::Hide, Action::Move, Action::Destroy}) {
            const std::string what = "code " + std::to_string(code) + ", " + nameOf(action);
            w.controls.clear();
            w.mouse(WM_MOUSEMOVE, 280, 180);
            RecordingControl& under = w.add(10, 40, 60, 30);
            RecordingControl& target = w.add(10, 40, 50, 20);
            RecordingControl& other = w.add(100, 40, 50, 20);
            w.host.setAccelerator('q', h(target));
            bool fired = false;
            target.actions[code] = [&] {
                if (fired)
                    return;
                fired = true;
                if (action == Action::Hide)
                    target.visible(false);
                else if (action == Action::Move)
                    target.move(200.0f, 150.0f, std::nullopt, std::nullopt);
                else
                    target.destroy();
            };
            POINT mouse = {20, 50};
            auto mouseAt = [&](UINT msg, int x, int y, WPARAM keys = 0) {
                mouse = {x, y};
                w.mouse(msg, x, y, keys);
            };
            POINT screen = mouse;
            ClientToScreen(w.hwnd, &screen);
            const std::function<void()> steps[] = {
                [&] { mouseAt(WM_MOUSEMOVE, 20, 50); },
                [&] { w.send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(screen.x, screen.y)); },
                [&] { mouseAt(WM_LBUTTONDOWN, 20, 50, MK_LBUTTON); },
                [&] { mouseAt(WM_MOUSEMOVE, 25, 50, MK_LBUTTON); },
                [&] { mouseAt(WM_LBUTTONUP, 20, 50); },
                [&] { mouseAt(WM_RBUTTONDOWN, 20, 50, MK_RBUTTON); },
                [&] { mouseAt(WM_RBUTTONUP, 20, 50); },
                [&] { w.send(WM_KEYDOWN, 'A', 1); },
                [&] { w.send(WM_CHAR, 'a', 1); },
                [&] { w.send(WM_SYSCHAR, 'q', 1 << 29); },
                [&] { w.send(WM_TIMER, h(target), 0); },
                [&] { target.move(10.0f, 41.0f, std::nullopt, std::nullopt); },
                [&] { w.host.setBackground(std::nullopt, RGB(0, 0, 0), 0, false); },
                [&] { w.send(WM_KEYDOWN, VK_TAB, 1); },  // the focus moves on: the target is blurred
                [&] {
                    target.disabled(true);
                    w.host.redrawRect(w.host.windowRect(), true);
                    target.disabled(false);
                },
                [&] {
                    // A fade-in of two 10 ms frames: the host asks the control to draw each frame.
                    target.transitionFrames(2, 10);
                    PaintContext context;
                    if (target.beginPaint(context, nullptr, true))
                        target.endPaint(context);
                    pumpUntil([&] { return target.transitionFrame() == target.transitionFrames(); }, 1000);
                },
                [&] { mouseAt(WM_MOUSEMOVE, 250, 100); },
            };
            for (size_t i = 0; i < std::size(steps); ++i) {
                steps[i]();
                w.pump();
                expectNoStaleState(w, mouse, what + ", step " + std::to_string(i));
            }
            EXPECT_TRUE(fired) << what;
            EXPECT_TRUE(w.host.isInTree(h(under)) && w.host.isInTree(h(other))) << what;
        }
    }
}

TEST(HostReentrancy, CaptureTakenByAnotherWindowOfTheThreadIsLeftToIt)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach(HostAttachOptions{.frameFlags = 0}));
    RecordingControl& a = w.add(10, 40, 50, 20);
    HostTestWindow dialog;  // a window of the same thread: a tracked menu, a drag, a dialog
    // The host has taken the capture for the press when the control hears of it.
    a.actions[WM_LBUTTONDOWN] = [&] { SetCapture(dialog.hwnd); };
    w.mouse(WM_MOUSEMOVE, 20, 50);
    w.mouse(WM_LBUTTONDOWN, 20, 50, MK_LBUTTON);
    EXPECT_EQ(GetCapture(), dialog.hwnd);
    EXPECT_FALSE(w.host.pressed) << "the press ended when the capture went";
    EXPECT_EQ(a.of(EV_MOUSE_LEAVE).size(), 1u);
    ReleaseCapture();
}

TEST(HostReentrancy, TabEndsWhenTheFocusedControlLiesOutsideTheTree)
{
    // Run on a thread of its own: a walk that never ends would hang the test program.
    auto result = std::make_shared<std::promise<std::string>>();
    std::future<std::string> run = result->get_future();
    std::thread([result] {
        HostTestWindow w;
        HostTestWindow stranger;
        if (!w.attach(HostAttachOptions{.frameFlags = 0}) || !stranger.attach(HostAttachOptions{.frameFlags = 0})) {
            result->set_value("attach");
            return;
        }
        RecordingControl& elsewhere = stranger.add(10, 40, 50, 20);
        // A focused control of another host, with an empty list and then one with nothing focusable.
        w.host.focusedControl = h(elsewhere);
        w.send(WM_KEYDOWN, VK_TAB, 1);
        w.add(10, 40, 50, 20, false);
        w.send(WM_KEYDOWN, VK_TAB, 1);
        RecordingControl& focusable = w.add(100, 40, 50, 20);
        w.send(WM_KEYDOWN, VK_TAB, 1);
        result->set_value(w.host.focusedControl == h(focusable) ? "" : "the focusable control was skipped");
    }).detach();
    ASSERT_EQ(run.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "Tab never returned";
    EXPECT_EQ(run.get(), "");
}

TEST(HostHover, ControlsChangingUnderARestingMouseGetLeaveAndEnterOnceTheHandlersReturned)
{
    struct Case {
        const char* what;
        // Runs inside the handler of a click on `trigger`; a and b overlap at the mouse, a on top.
        void (*change)(RecordingControl& a, RecordingControl& b);
        bool aLeft;   // a is told the mouse left it
        bool hoverB;  // else nothing is under the mouse
    } cases[] = {
        {"swap a for b",
         [](RecordingControl& a, RecordingControl& b) {
             a.visible(false);
             b.visible(true);
         },
         false, true},
        {"a moves away", [](RecordingControl& a, RecordingControl&) { a.move(200.0f, 150.0f, {}, {}); }, true, false},
        {"a is disabled", [](RecordingControl& a, RecordingControl&) { a.disabled(true); }, true, false},
        {"a is destroyed", [](RecordingControl& a, RecordingControl&) { a.destroy(); }, false, false},
        {"b comes up over a",
         [](RecordingControl&, RecordingControl& b) {
             b.visible(true);
             b.setZOrder(Control::ZOrderTop);
         },
         true, true},
    };
    HostTestWindow w;
    ASSERT_TRUE(w.attach(HostAttachOptions{.frameFlags = 0}));
    w.recordCallbacks();
    for (const Case& c : cases) {
        w.controls.clear();
        w.mouse(WM_MOUSEMOVE, 250, 20);
        RecordingControl& b = w.add(10, 40, 50, 20);
        RecordingControl& a = w.add(10, 40, 50, 20);
        RecordingControl& trigger = w.add(100, 40, 50, 20);
        b.visible(false);
        w.mouse(WM_MOUSEMOVE, 20, 50);
        w.pump();
        ASSERT_EQ(w.host.hoverControl, h(a)) << c.what;
        bool hoverDecidedInside = false;
        trigger.actions[EV_CLICK] = [&] {
            c.change(a, b);
            w.pump();  // nested messages run, still inside the handler
            hoverDecidedInside = w.host.hoverControl != h(a);
        };
        a.events.clear();
        b.events.clear();
        HostTestWindow::calls.clear();
        // A keyboard click: the mouse stays where it is.
        w.host.setFocus(h(trigger), false);
        w.send(WM_KEYDOWN, VK_RETURN, 1);
        EXPECT_FALSE(hoverDecidedInside) << c.what << ": never inside a handler";
        w.pump();
        EXPECT_EQ(w.host.hoverControl, c.hoverB ? h(b) : 0u) << c.what;
        EXPECT_EQ(!a.of(EV_MOUSE_LEAVE).empty(), c.aLeft) << c.what;
        EXPECT_EQ(b.of(EV_MOUSE_ENTER).size(), c.hoverB ? 1u : 0u) << c.what;
        EXPECT_EQ(HostTestWindow::callsOf(OnMouseEnter).size(), c.hoverB ? 1u : 0u) << c.what;

        // The mouse then leaves: the leave goes to what it was over.
        w.mouse(WM_MOUSEMOVE, 250, 20);
        if (c.hoverB)
            EXPECT_EQ(b.of(EV_MOUSE_LEAVE).size(), 1u) << c.what;
        EXPECT_EQ(w.host.hoverControl, 0u) << c.what;
    }
}

TEST(HostWheel, WheelGoesUnderTheMouseThenToItsAncestorsThenToTheFocus)
{
    struct Case {
        const char* what;
        int childAnswer;
        int parentAnswer;
        bool childGets, parentGets, focusedGets;
    } cases[] = {
        {"the child takes it", 0, 0, true, false, false},
        {"the parent takes it", -1, 1, true, true, false},
        {"nobody under the mouse takes it", -1, -1, true, true, true},
    };
    HostTestWindow w;
    ASSERT_TRUE(w.attach(HostAttachOptions{.frameFlags = 0}));
    for (const Case& c : cases) {
        w.controls.clear();
        RecordingControl& parent = w.add(10, 40, 120, 80);
        RecordingControl& child = w.add(20, 50, 40, 20, true, 6, h(parent));
        RecordingControl& focused = w.add(200, 40, 50, 20);
        w.host.setFocus(h(focused), false);
        child.answers[WM_MOUSEWHEEL] = c.childAnswer;
        parent.answers[WM_MOUSEWHEEL] = c.parentAnswer;
        POINT at = {30, 60};
        ClientToScreen(w.hwnd, &at);
        const WPARAM delta = MAKEWPARAM(0, -WHEEL_DELTA);
        w.send(WM_MOUSEWHEEL, delta, MAKELPARAM(at.x, at.y));
        const std::vector<RecordedEvent> wheel = {{WM_MOUSEWHEEL, delta, MAKELPARAM(at.x, at.y)}};
        EXPECT_EQ(child.of(WM_MOUSEWHEEL), c.childGets ? wheel : std::vector<RecordedEvent>{}) << c.what;
        EXPECT_EQ(parent.of(WM_MOUSEWHEEL), c.parentGets ? wheel : std::vector<RecordedEvent>{}) << c.what;
        EXPECT_EQ(focused.of(WM_MOUSEWHEEL), c.focusedGets ? wheel : std::vector<RecordedEvent>{}) << c.what;
    }

    // Over no control the focused one gets it, and a focused control under the mouse gets it once.
    w.controls.clear();
    RecordingControl& focused = w.add(10, 40, 50, 20);
    w.host.setFocus(h(focused), false);
    for (POINT at : {POINT{250, 150}, POINT{20, 50}}) {
        ClientToScreen(w.hwnd, &at);
        w.send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(at.x, at.y));
    }
    EXPECT_EQ(focused.of(WM_MOUSEWHEEL).size(), 2u);
}
