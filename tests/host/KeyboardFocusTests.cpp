#include <gtest/gtest.h>

#include "HostTestWindow.h"

namespace {
ControlHandle h(const Control& c)
{
    return c.handle();
}
}  // namespace

TEST(HostKeyboard, TabWithNoFocusableControlChangesNothing)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach(HostAttachOptions{.frameFlags = 0}));
    w.send(WM_KEYDOWN, VK_TAB);
    RecordingControl& a = w.add(10, 40, 50, 20, false);
    RecordingControl& b = w.add(100, 40, 50, 20, false);
    a.events.clear();
    w.send(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(w.host.focusedControl, 0u);
    EXPECT_TRUE(a.of(EV_FOCUS).empty());
    EXPECT_TRUE(b.of(EV_FOCUS).empty());
}

TEST(HostKeyboard, TabCyclesTheTopLevelControlsThatTakeTheFocus)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());  // its caption buttons (kind 1) never take the focus
    RecordingControl& a = w.add(10, 40, 20, 20);
    RecordingControl& hidden = w.add(40, 40, 20, 20);
    RecordingControl& disabled = w.add(70, 40, 20, 20);
    w.add(100, 40, 20, 20, false);
    RecordingControl& b = w.add(130, 40, 60, 60);
    RecordingControl& child = w.add(140, 50, 20, 20, true, 6, h(b));
    RecordingControl& caption = w.add(200, 40, 20, 20, true, KIND_CAPTION_BUTTON);
    hidden.visible(false);
    disabled.disabled(true);
    (void)caption;

    const ControlHandle expected[] = {h(a), h(b), h(a), h(b)};
    for (ControlHandle e : expected) {
        w.send(WM_KEYDOWN, VK_TAB);
        EXPECT_EQ(w.host.focusedControl, e);
        EXPECT_EQ(w.host.keyboardFocus, e) << "Tab marks the focus";
    }
    EXPECT_EQ(a.of(EV_BLUR).back(), (RecordedEvent{EV_BLUR, 0, static_cast<LPARAM>(h(b))}));
    EXPECT_EQ(b.of(EV_FOCUS).back(), (RecordedEvent{EV_FOCUS, 0, static_cast<LPARAM>(h(a))}));

    // From a focused child the walk goes on after its top-level ancestor.
    w.host.setFocus(h(child), false);
    w.send(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(w.host.focusedControl, h(a));

    // A focused control that answers the key keeps it.
    a.answers[WM_KEYDOWN] = 0;
    w.send(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(w.host.focusedControl, h(a));
}

TEST(HostKeyboard, EnterAndSpaceClickTheFocusedControlWhenShownAndEnabled)
{
    struct Case {
        WPARAM key;
        bool hide, disable, clicks;
    } cases[] = {{VK_RETURN, false, false, true},
                 {VK_SPACE, false, false, true},
                 {'A', false, false, false},
                 {VK_RETURN, true, false, false},
                 {VK_SPACE, false, true, false}};
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    w.recordCallbacks();
    for (const Case& c : cases) {
        RecordingControl& a = w.add(10, 40, 20, 20);
        w.host.setFocus(h(a), false);
        a.visible(!c.hide);
        a.disabled(c.disable);
        HostTestWindow::calls.clear();
        w.send(WM_KEYDOWN, c.key);
        EXPECT_EQ(a.of(EV_CLICK).size(), c.clicks ? 1u : 0u) << c.key << c.hide << c.disable;
        EXPECT_EQ(HostTestWindow::callsOf(OnClick).size(), c.clicks ? 1u : 0u);
        if (c.clicks)
            EXPECT_EQ(a.of(EV_CLICK)[0], (RecordedEvent{EV_CLICK, 0, 0}));
        a.destroy();
    }
}

TEST(HostKeyboard, AltAcceleratorMatchesEitherCaseOfItsLetter)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    w.recordCallbacks();
    RecordingControl& a = w.add(10, 40, 20, 20);
    RecordingControl& b = w.add(40, 40, 20, 20);
    EXPECT_EQ(w.send(WM_EX_SET_ACCELERATOR, 'S', h(a)), 1);
    EXPECT_EQ(w.send(WM_EX_SET_ACCELERATOR, 'T', h(b)), 1);
    EXPECT_EQ(w.send(WM_SYSCHAR, 's'), 0);
    EXPECT_EQ(w.send(WM_SYSCHAR, 'S'), 0);
    EXPECT_EQ(a.of(EV_CLICK).size(), 2u);
    EXPECT_EQ(HostTestWindow::callsOf(OnClick).back(), (HostCall{OnClick, h(a), 'S', 0, 6}));

    w.send(WM_SYSCHAR, 'x');
    a.visible(false);
    w.send(WM_SYSCHAR, 's');
    EXPECT_EQ(a.of(EV_CLICK).size(), 2u) << "a hidden control's key is skipped";
    a.visible(true);
    w.host.setAccelerator('S', h(b));  // replaces
    w.send(WM_SYSCHAR, 's');
    w.host.setAccelerator('T', 0);     // removes
    w.send(WM_SYSCHAR, 't');
    EXPECT_EQ(a.of(EV_CLICK).size(), 2u);
    EXPECT_EQ(b.of(EV_CLICK).size(), 1u);
    EXPECT_EQ(w.host.accelerators.size(), 1u);
}

TEST(HostFocus, SetFocusSendsBlurAndFocusButNoMouseCallbacks)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    w.recordCallbacks();
    RecordingControl& a = w.add(10, 40, 20, 20);
    RecordingControl& b = w.add(40, 40, 20, 20);
    w.host.setFocus(h(a), true);
    w.host.setFocus(h(b), false);
    EXPECT_EQ(a.of(EV_FOCUS), (std::vector<RecordedEvent>{{EV_FOCUS, 0, 0}}));
    EXPECT_EQ(a.of(EV_BLUR), (std::vector<RecordedEvent>{{EV_BLUR, 0, static_cast<LPARAM>(h(b))}}));
    EXPECT_EQ(b.of(EV_FOCUS), (std::vector<RecordedEvent>{{EV_FOCUS, 0, static_cast<LPARAM>(h(a))}}));
    EXPECT_EQ(w.host.keyboardFocus, 0u);
    EXPECT_TRUE(HostTestWindow::calls.empty());

    // Refused: already focused, disabled, hidden, not focusable, a caption button.
    RecordingControl& off = w.add(70, 40, 20, 20);
    RecordingControl& gone = w.add(100, 40, 20, 20);
    RecordingControl& plain = w.add(130, 40, 20, 20, false);
    RecordingControl& caption = w.add(160, 40, 20, 20, true, KIND_CAPTION_BUTTON);
    off.disabled(true);
    gone.visible(false);
    for (const RecordingControl* c : {&b, &off, &gone, &plain, &caption}) {
        w.host.setFocus(c->handle(), true);
        EXPECT_EQ(w.host.focusedControl, h(b));
    }
    EXPECT_EQ(b.of(EV_BLUR).size(), 0u);

    w.send(WM_EX_FOCUS, 0, h(a));
    EXPECT_EQ(w.host.focusedControl, h(a));
    EXPECT_EQ(w.host.keyboardFocus, 0u);
}

TEST(HostFocus, PressOnAnotherControlMovesTheFocusWithCallbacks)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    RecordingControl& a = w.add(10, 40, 20, 20);
    RecordingControl& b = w.add(40, 40, 20, 20);
    w.host.setFocus(h(a), true);
    w.recordCallbacks();
    w.mouse(WM_LBUTTONDOWN, 45, 45, MK_LBUTTON);
    w.mouse(WM_LBUTTONUP, 45, 45);
    EXPECT_EQ(a.of(EV_BLUR), (std::vector<RecordedEvent>{{EV_BLUR, MK_LBUTTON, static_cast<LPARAM>(h(b))}}));
    EXPECT_EQ(b.of(EV_FOCUS), (std::vector<RecordedEvent>{{EV_FOCUS, MK_LBUTTON, static_cast<LPARAM>(h(a))}}));
    EXPECT_EQ(w.host.keyboardFocus, 0u) << "a mouse focus change clears the mark";
    const LPARAM at = MAKELPARAM(45, 45);
    EXPECT_EQ(HostTestWindow::callsOf(OnBlur), (std::vector<HostCall>{{OnBlur, h(a), MK_LBUTTON, at, 6}}));
    EXPECT_EQ(HostTestWindow::callsOf(OnFocus), (std::vector<HostCall>{{OnFocus, h(b), MK_LBUTTON, at, 6}}));
}
