#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <thread>

#include "Control.h"
#include "FakeHost.h"
#include "Images.h"
#include "Pixels.h"

namespace {

std::vector<ControlHandle> destroyOrder;

// Logs what it receives, answers as told, and can paint itself a colour with the fade-in protocol.
class ProbeControl : public Control {
public:
    ~ProbeControl() override
    {
        if (handle())
            destroy();
    }
    int handleEvent(int code, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back(code);
        if (code == EV_DESTROY)
            destroyOrder.push_back(handle());
        if (code == EV_PAINT && paintColor) {
            PaintContext context;
            if (beginPaint(context, nullptr, true)) {
                GDIP(GdipGraphicsClear)(context.graphics, paintColor);
                endPaint(context);
            }
        }
        const auto answer = answers.find(code);
        return answer == answers.end() ? -1 : answer->second;
    }
    std::vector<int> seen;
    std::map<int, int> answers;
    ARGB paintColor = 0;
};

ControlHandle make(Control& c, ParentHandle parent, RectF r = {10, 10, 30, 20}, int kind = KIND_LABEL,
                   bool visible = true)
{
    return c.create(parent, r, kind, visible);
}

std::vector<ControlHandle> siblings(ControlHandle first)
{
    std::vector<ControlHandle> list;
    for (ControlHandle c = first; c; c = Control::fromHandle(c)->nextSibling())
        list.push_back(c);
    return list;
}

bool sameRect(const RectF& a, const RectF& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

struct Call {
    ControlHandle parent, control;
    int code;
    WPARAM wParam;
    char handler;
};
std::vector<Call> calls;
int handlerA(ControlHandle c, int code, WPARAM w, LPARAM) { calls.push_back({0, c, code, w, 'A'}); return 0; }
int handlerB(ControlHandle c, int code, WPARAM w, LPARAM) { calls.push_back({0, c, code, w, 'B'}); return 0; }
int handlerC(ControlHandle c, int code, WPARAM w, LPARAM) { calls.push_back({0, c, code, w, 'C'}); return 0; }
int childHandler(ControlHandle p, ControlHandle c, int code, WPARAM w, LPARAM)
{
    calls.push_back({p, c, code, w, 'K'});
    return 0;
}

}  // namespace

TEST(ControlTree, CreateAppendsToTheHostListAndSendsCreateThenPaint)
{
    FakeHost fake;
    ProbeControl a, b, tiny;
    const ControlHandle ha = make(a, fake.parent());
    const ControlHandle hb = make(b, fake.parent(), {0, 0, 7.6f, 3.2f}, KIND_PICTURE, false);
    make(tiny, fake.parent(), {0, 0, 40, 40}, KIND_NO_OWN_BITMAP);
    EXPECT_EQ(ha, static_cast<ControlHandle>(reinterpret_cast<UINT_PTR>(&a)));
    EXPECT_EQ(fake.host().firstControl, ha);
    EXPECT_EQ(siblings(ha), (std::vector<ControlHandle>{ha, hb, tiny.handle()}));
    EXPECT_EQ(b.prevSibling(), ha);

    ASSERT_EQ(fake.codesFor(ha), (std::vector<int>{EV_CREATE, EV_PAINT}));
    EXPECT_EQ(fake.events[0].wParam, reinterpret_cast<WPARAM>(a.bitmap()));
    EXPECT_EQ(fake.events[0].lParam, reinterpret_cast<LPARAM>(a.graphics()));
    struct Size {
        Control& control;
        unsigned width, height;
    };
    for (const Size& s : {Size{a, 30, 20}, Size{b, 8, 3}, Size{tiny, 1, 1}}) {
        EXPECT_EQ(imageWidth(s.control.bitmap()), s.width);
        EXPECT_EQ(imageHeight(s.control.bitmap()), s.height);
    }
    EXPECT_TRUE(a.isFocusable()) << "focusable when not given";
    EXPECT_FALSE(b.isVisible());
    EXPECT_EQ(a.currentAlpha(), 255);
    EXPECT_TRUE(a.redrawEnabled());

    fake.clearLog();
    EXPECT_EQ(a.create(fake.parent(), {0, 0, 5, 5}, KIND_LABEL, true), ha);
    EXPECT_TRUE(fake.events.empty()) << "a created control is returned unchanged";
    EXPECT_EQ(a.currentBounds().width, 30);
}

TEST(ControlTree, CreationFailsWithoutALiveHostOrUnderAnotherHostsControl)
{
    FakeHost fake, other;
    HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ProbeControl parent, notCreated, child;
    make(parent, fake.parent());
    EXPECT_EQ(make(child, 0), 0u);
    EXPECT_EQ(make(child, parentWindow(plain)), 0u) << "a window without a host";
    EXPECT_EQ(make(child, notCreated.handle()), 0u);
    EXPECT_EQ(make(child, static_cast<ParentHandle>(reinterpret_cast<UINT_PTR>(&notCreated))), 0u);

    SetPropW(fake.hwnd(), L"Ex_Wnd_Control", reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(other.host().handle())));
    EXPECT_EQ(make(child, parent.handle()), 0u) << "the parent's host is no longer its window's host";
    SetPropW(fake.hwnd(), L"Ex_Wnd_Control", reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(fake.host().handle())));
    EXPECT_EQ(child.handle(), 0u);
    EXPECT_EQ(parent.firstChild(), 0u);
    EXPECT_NE(make(child, parent.handle()), 0u);
    EXPECT_EQ(child.hostWindow(), fake.hwnd());
    DestroyWindow(plain);
}

TEST(ControlTree, ParentsThatAreNeitherALiveHostWindowNorALiveControlAreNotReadThrough)
{
    FakeHost fake;
    ProbeControl parent, child;
    make(parent, fake.parent());
    // A window handle that once named a window, and an address nothing may read.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    const ParentHandle stale = parentWindow(gone);
    const auto unreadable = static_cast<ParentHandle>(reinterpret_cast<UINT_PTR>(page)) + 16;
    for (ParentHandle bad : {stale, unreadable}) {
        EXPECT_EQ(make(child, bad), 0u);
        EXPECT_EQ(child.handle(), 0u);
    }
    make(child, fake.parent());
    for (ParentHandle bad : {stale, unreadable}) {
        child.setParent(bad);
        EXPECT_EQ(child.parent(), 0u);
        EXPECT_EQ(fake.host().lastControl, child.handle()) << "still linked where it was";
    }
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST(ControlTree, ZOrderAndReparentingRelinkTheLists)
{
    FakeHost fake;
    ProbeControl parent, c1, c2, c3, empty;
    make(parent, fake.parent(), {0, 0, 100, 100});
    make(empty, fake.parent());
    const ControlHandle h1 = make(c1, parent.handle()), h2 = make(c2, parent.handle()), h3 = make(c3, parent.handle());
    EXPECT_EQ(siblings(parent.firstChild()), (std::vector<ControlHandle>{h1, h2, h3}));
    EXPECT_EQ(c2.parent(), parent.handle());

    struct Case {
        ProbeControl& control;
        std::optional<int> where;
        std::optional<bool> noRedraw;
        std::vector<ControlHandle> order;
        size_t invalidations;
    };
    const Case cases[] = {
        {c3, Control::ZOrderBottom, std::nullopt, {h3, h1, h2}, 1},
        {c3, std::nullopt, true, {h1, h2, h3}, 0},
        {c1, Control::ZOrderTop, false, {h2, h3, h1}, 1},
        {c3, 7, std::nullopt, {h2, h1, h3}, 1},
    };
    for (const Case& c : cases) {
        fake.pump();
        fake.clearLog();
        c.control.setZOrder(c.where, c.noRedraw);
        fake.pump();
        EXPECT_EQ(siblings(parent.firstChild()), c.order);
        EXPECT_EQ(parent.lastChild(), c.order.back());
        EXPECT_EQ(fake.invalidations.size(), c.invalidations);
    }

    c1.setParent(empty.handle());
    EXPECT_EQ(empty.firstChild(), h1);
    EXPECT_EQ(empty.lastChild(), h1) << "alone in a list: first and last";
    EXPECT_EQ(siblings(parent.firstChild()), (std::vector<ControlHandle>{h2, h3}));
    EXPECT_EQ(c2.prevSibling(), 0u);
    c3.setParent(fake.parent());
    EXPECT_EQ(c3.parent(), 0u);
    EXPECT_EQ(fake.host().lastControl, h3);
    EXPECT_EQ(parent.lastChild(), h2);
    parent.setParent(c2.handle());
    EXPECT_EQ(parent.parent(), 0u) << "a control never becomes its own descendant";
}

TEST(ControlLifetime, DestroyTakesChildrenFirstAndClearsEveryHostSlot)
{
    FakeHost fake;
    ProbeControl parent, child, grandchild, sibling;
    const RectF parentBounds{5, 6, 50, 40};
    make(parent, fake.parent(), parentBounds);
    make(sibling, fake.parent());
    make(child, parent.handle());
    make(grandchild, child.handle());
    HostWindow& host = fake.host();
    host.hoverControl = grandchild.handle();
    host.focusedControl = child.handle();
    host.pressedControl = parent.handle();
    host.pressed = true;
    host.keyboardFocus = grandchild.handle();
    // Accelerators: every entry of a destroyed control goes, whatever its class; the sibling's stays.
    host.setAccelerator('a', child.handle());
    host.setAccelerator('b', grandchild.handle());
    host.setAccelerator('c', sibling.handle());
    host.setAccelerator('d', child.handle());
    const std::vector<ControlHandle> expectedOrder{grandchild.handle(), child.handle(), parent.handle()};
    destroyOrder.clear();
    fake.clearLog();

    parent.destroy();
    EXPECT_EQ(destroyOrder, expectedOrder);
    ASSERT_FALSE(fake.invalidations.empty()) << "the repaint is sent before the bounds are cleared";
    EXPECT_TRUE(sameRect(fake.invalidations.front().rect, parentBounds));
    EXPECT_EQ(host.hoverControl, 0u);
    EXPECT_EQ(host.focusedControl, 0u);
    EXPECT_EQ(host.pressedControl, 0u);
    EXPECT_FALSE(host.pressed);
    EXPECT_EQ(host.keyboardFocus, 0u);
    ASSERT_EQ(host.accelerators.size(), 1u);
    EXPECT_EQ(host.accelerators[0].control, sibling.handle());
    EXPECT_EQ(siblings(host.firstControl), (std::vector<ControlHandle>{sibling.handle()}));
    for (Control* c : {static_cast<Control*>(&parent), static_cast<Control*>(&child)}) {
        EXPECT_EQ(c->handle(), 0u);
        EXPECT_EQ(c->hostWindow(), nullptr);
        EXPECT_EQ(c->bitmap(), nullptr);
        EXPECT_EQ(c->currentAlpha(), 0);
    }
    EXPECT_NE(make(parent, fake.parent()), 0u) << "a destroyed control may be created again";
    EXPECT_EQ(host.lastControl, parent.handle());
}

TEST(ControlGeometry, ChangesWithinToleranceDoNothing)
{
    FakeHost fake;
    ProbeControl c;
    make(c, fake.parent(), {10, 20, 30, 40});
    const float tiny = 5e-8f;
    fake.clearLog();
    c.move(10 + tiny, 20 - tiny, 30 + tiny, 40 + tiny);
    c.left(10 + tiny);
    c.top(20 + tiny);
    c.width(30 - tiny);
    c.height(40 + tiny);
    c.bounds(RectF{10, 20, 30, 40});
    fake.pump();
    EXPECT_TRUE(fake.events.empty());
    EXPECT_TRUE(fake.moves.empty());
    EXPECT_TRUE(fake.invalidations.empty());
}

TEST(ControlGeometry, MoveShiftsDescendantsAndResizeMakesANewBitmap)
{
    FakeHost fake;
    ProbeControl parent, child, grandchild;
    make(parent, fake.parent(), {10, 10, 100, 50});
    make(child, parent.handle(), {20, 20, 10, 10});
    make(grandchild, child.handle(), {22, 22, 4, 4});
    fake.clearLog();

    parent.move(30, 15, std::nullopt, std::nullopt);
    EXPECT_TRUE(sameRect(parent.previousBounds(), {10, 10, 100, 50}));
    EXPECT_TRUE(sameRect(child.currentBounds(), {40, 25, 10, 10}));
    EXPECT_TRUE(sameRect(grandchild.currentBounds(), {42, 27, 4, 4}));
    EXPECT_EQ(fake.codesFor(parent.handle()), (std::vector<int>{})) << "no resize, no paint";
    EXPECT_EQ(parent.seen.back(), EV_MOVED);
    EXPECT_EQ(fake.moves, (std::vector<LPARAM>{1}));

    fake.clearLog();
    parent.seen.clear();
    parent.width(120);
    EXPECT_EQ(imageWidth(parent.bitmap()), 120u);
    EXPECT_EQ(parent.seen, (std::vector<int>{EV_RESIZE, EV_PAINT, EV_MOVED}));
    EXPECT_EQ(fake.events.front().wParam, 120u);
    EXPECT_EQ(fake.events.front().lParam, 50);
    EXPECT_TRUE(sameRect(child.currentBounds(), {40, 25, 10, 10})) << "children keep their size";

    struct Redraw {
        bool visible, noRedraw, forceRedraw;
        LPARAM flag;
    };
    const Redraw cases[] = {{true, false, false, 1}, {true, true, false, 0}, {true, true, true, 1},
                           {false, false, false, 0}, {false, false, true, 0}};
    float x = 0;
    for (const Redraw& r : cases) {
        parent.visible(r.visible);
        fake.clearLog();
        parent.move(++x, std::nullopt, std::nullopt, std::nullopt, r.noRedraw, r.forceRedraw);
        EXPECT_EQ(fake.moves, (std::vector<LPARAM>{r.flag})) << r.visible << r.noRedraw << r.forceRedraw;
    }
}

TEST(ControlGeometry, MoveRetriesWhileTheHostRefusesButNeverWaitsForAGoneHost)
{
    FakeHost fake;
    ProbeControl c;
    make(c, fake.parent());
    // Another thread waits for the lock's holder to let go.
    fake.clearLog();
    fake.movedAnswers = {0};
    std::thread mover([&c] { c.left(50); });
    EXPECT_TRUE(fake.pumpUntil([&] { return fake.moves.size() == 2; }));
    mover.join();
    EXPECT_EQ(fake.moves.size(), 2u) << "refused once, sent again";
    // The window's own thread holds the lock itself: the host recomposes on release, nothing is retried.
    fake.clearLog();
    fake.movedAnswers = {0, 0, 0};
    c.left(55);
    EXPECT_EQ(fake.moves.size(), 1u);

    fake.clearLog();
    fake.movedAnswers = {0, 0, 0};
    RemovePropW(fake.hwnd(), L"Ex_Wnd_Control");
    c.left(60);
    EXPECT_EQ(fake.moves.size(), 1u) << "the window has no host any more";

    fake.destroyWindow();
    c.move(1, 2, 3, 4);
    EXPECT_TRUE(sameRect(c.currentBounds(), {1, 2, 3, 4}));
}

TEST(ControlProperties, VisibleAndDisabledRaiseEventsOnlyOnChange)
{
    FakeHost fake;
    ProbeControl c;
    make(c, fake.parent());
    struct Step {
        std::function<void()> change;
        std::vector<int> codes;  // after the posted ones have arrived
        size_t invalidations;
    };
    const Step steps[] = {
        {[&] { c.visible(false); }, {EV_HIDE}, 1},
        {[&] { c.visible(false); }, {}, 0},
        {[&] { c.visible(true); }, {EV_SHOW}, 1},
        {[&] { fake.host().focusedControl = c.handle(); c.disabled(true); }, {EV_BLUR, EV_MOUSE_LEAVE}, 1},
        {[&] { c.disabled(true); }, {}, 0},
        {[&] { c.disabled(false); }, {EV_MOUSE_LEAVE}, 1},
    };
    for (const Step& step : steps) {
        fake.clearLog();
        step.change();
        fake.pump();
        EXPECT_EQ(fake.codesFor(c.handle()), step.codes);
        EXPECT_EQ(fake.invalidations.size(), step.invalidations);
    }
    EXPECT_EQ(fake.host().focusedControl, 0u) << "disabling the focused control takes its focus";
}

TEST(ControlProperties, AlphaIsSentToTheClassAndInvalidatesUnlessDeferred)
{
    FakeHost fake;
    ProbeControl c;
    make(c, fake.parent());
    struct Case {
        int value;
        bool redraw, defer;
        int stored;
        size_t invalidations;
    };
    const Case cases[] = {{100, false, false, 100, 1}, {90, false, true, 90, 0}, {80, true, true, 80, 1},
                          {300, false, false, 255, 1}};
    for (const Case& k : cases) {
        fake.clearLog();
        EXPECT_EQ(c.alpha(k.value, k.redraw, k.defer), k.stored);
        fake.pump();
        ASSERT_EQ(fake.codesFor(c.handle()), (std::vector<int>{EV_ALPHA}));
        EXPECT_EQ(fake.events[0].lParam, k.stored);
        EXPECT_EQ(fake.invalidations.size(), k.invalidations);
    }
}

TEST(ControlEvents, BindingsReplaceInPlaceAndDoubleClicksMatch515)
{
    FakeHost fake;
    ProbeControl c;
    make(c, fake.parent());
    const auto lp = MAKELPARAM(3, 4);
    using Bind = std::function<void(Control&)>;
    struct Case {
        Bind bind;
        std::string single, twice;  // handler names called by a click and by a double click
    };
    const Case cases[] = {
        {[](Control& k) { k.bindEvent(WM_LBUTTONDOWN, handlerA); k.bindEvent(EV_DOUBLE_CLICK, handlerB); }, "A", "A"},
        {[](Control& k) { k.bindEvent(EV_DOUBLE_CLICK, handlerB); k.bindEvent(WM_LBUTTONDOWN, handlerA); }, "A", "B"},
        {[](Control& k) { k.bindEvent(EV_DOUBLE_CLICK, handlerB); }, "", "B"},
        {[](Control& k) {
             k.bindEvent(WM_LBUTTONUP, handlerB);
             k.bindEvent(WM_LBUTTONDOWN, handlerA);
             k.bindEvent(WM_LBUTTONDOWN, handlerC);
         }, "C", "C"},
    };
    for (const Case& k : cases) {
        ProbeControl fresh;
        make(fresh, fake.parent());
        k.bind(fresh);
        std::string names;
        calls.clear();
        fresh.dispatchEvent(WM_LBUTTONDOWN, MK_LBUTTON, lp);
        for (const Call& call : calls)
            names += call.handler;
        EXPECT_EQ(names, k.single);
        names.clear();
        calls.clear();
        fresh.dispatchEvent(WM_LBUTTONDOWN, doubleClickMark, lp);
        for (const Call& call : calls)
            names += call.handler;
        EXPECT_EQ(names, k.twice);
    }

    ProbeControl child;
    make(child, c.handle());
    child.bindEvent(EV_CLICK, childHandler);
    c.bindEvent(EV_CLICK, handlerA);
    calls.clear();
    child.dispatchEvent(EV_CLICK, 0, lp);
    c.dispatchEvent(EV_CLICK, 0, lp);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].parent, c.handle());
    EXPECT_EQ(calls[0].control, child.handle());
    EXPECT_EQ(calls[0].code, EV_CLICK);
    EXPECT_EQ(calls[1].control, c.handle());
}

TEST(ControlEvents, HasFocusFollowsTheClassAnswerElseTheHostSlot)
{
    FakeHost fake;
    ProbeControl c;
    make(c, fake.parent());
    struct Case {
        int answer;
        bool focusedInHost, expected;
    };
    const Case cases[] = {{1, false, true}, {0, true, false}, {5, true, false}, {-1, true, true}, {-1, false, false}};
    for (const Case& k : cases) {
        c.answers[EV_QUERY_FOCUS] = k.answer;
        fake.host().focusedControl = k.focusedInHost ? c.handle() : 0;
        EXPECT_EQ(c.hasFocus(), k.expected) << k.answer << k.focusedInHost;
    }
}

TEST(ControlEvents, PostedEventForAControlDestroyedMeanwhileIsDropped)
{
    FakeHost fake;
    ProbeControl c;
    make(c, fake.parent());
    c.postEvent(EV_CLICK, 0, 0);
    c.destroy();
    c.seen.clear();
    fake.pump();
    EXPECT_TRUE(c.seen.empty());
    EXPECT_EQ(fake.host().eventRecords.size(), 0u) << "the record was freed with the dropped event";
}

TEST(ControlFadeIn, FramesAdvanceOnTheTimerAndTheFadeEndsIdle)
{
    FakeHost fake;
    ProbeControl c;
    c.paintColor = 0xFE102030;
    c.create(fake.parent(), {0, 0, 8, 8}, KIND_PICTURE, true, std::nullopt, {}, 10, 3, 0);
    EXPECT_EQ(pixelAt(c.bitmap(), 4, 4), 0xFE102030u);
    EXPECT_EQ(fake.codesFor(c.handle()), (std::vector<int>{EV_CREATE, EV_PAINT, EV_TRANSITION_START}));
    EXPECT_EQ(c.transitionFrame(), 0);

    std::vector<int> framesSeen;
    ASSERT_TRUE(fake.pumpUntil([&] {
        if (!fake.invalidations.empty()) {
            framesSeen.push_back(c.transitionFrame());
            fake.invalidations.clear();
        }
        return c.seen.back() == EV_TRANSITION_END;
    }));
    EXPECT_EQ(framesSeen.back(), 3);
    EXPECT_EQ(c.transitionFrame(), c.transitionFrames()) << "idle again, not frame 0 of a new fade";
    EXPECT_EQ(c.transitionSnapshot(), nullptr);
    c.seen.clear();
    fake.pumpUntil([] { return false; }, 60);
    EXPECT_TRUE(c.seen.empty()) << "the timer is gone";

    // Without a fade-in the end of the paint asks for the repaint at once; hidden or suspended, not at all.
    c.transitionFrames(0, 0);
    struct Case {
        bool visible, redraw;
        size_t repaints;
    };
    for (const Case& k : {Case{true, true, 1}, Case{false, true, 0}, Case{true, false, 0}}) {
        c.visible(k.visible);
        k.redraw ? c.resumeRedraw() : c.suspendRedraw();
        fake.pump();
        fake.clearLog();
        c.repaint();
        EXPECT_EQ(fake.invalidations.size(), k.repaints);
    }
}
