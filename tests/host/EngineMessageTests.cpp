#include <gtest/gtest.h>

#include "HostTestWindow.h"
#include "RedrawQueue.h"

namespace {
ControlHandle h(const Control& c)
{
    return c.handle();
}

// An address nothing may read: reading it ends the test program.
class NoAccessPage {
public:
    NoAccessPage() : page_(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS)) {}
    ~NoAccessPage() { VirtualFree(page_, 0, MEM_RELEASE); }
    UINT_PTR value() const { return reinterpret_cast<UINT_PTR>(page_) + 64; }

private:
    void* page_;
};

// A control painted one colour straight into its bitmap, with no redraw asked for.
void repaintSilently(Control& c, ARGB color)
{
    GDIP(GdipGraphicsClear)(c.graphics(), color);
    GDIP(GdipFlush)(c.graphics(), Gdiplus::FlushIntentionSync);
}
}  // namespace

TEST(HostMessages, PointersPostedFromOutsideAreNeitherReadNorFreed)
{
    HostTestWindow w;
    HostAttachOptions options;
    options.frameFlags = 0;
    options.frameStyle = 0;
    options.backgroundColor = RGB(255, 255, 255);
    ASSERT_TRUE(w.attach(options));
    RecordingControl& a = w.add(10, 40, 50, 20);
    RecordingControl& b = w.add(100, 40, 50, 20);
    w.host.setFocus(h(b), false);
    const NoAccessPage page;
    const UINT_PTR bogus = page.value();
    a.events.clear();

    // Records: one the host never handed out, one at an address nobody may read, and a genuine one
    // addressed to something that is no control of the tree (taken back and freed, not dispatched).
    EventRecord foreign = {EV_CLICK, 0, 0};
    const LPARAM genuine = w.host.eventRecords.issue(EV_CLICK, 0, 0);
    PostMessageW(w.hwnd, WM_EX_EVENT, h(a), reinterpret_cast<LPARAM>(&foreign));
    PostMessageW(w.hwnd, WM_EX_EVENT, h(a), static_cast<LPARAM>(bogus));
    PostMessageW(w.hwnd, WM_EX_EVENT, bogus, genuine);
    // Controls and rectangles the host does not know.
    PostMessageW(w.hwnd, WM_EX_MOVED, bogus, 1);
    PostMessageW(w.hwnd, WM_EX_FOCUS, 0, static_cast<LPARAM>(bogus));
    PostMessageW(w.hwnd, WM_EX_SET_ACCELERATOR, 'z', static_cast<LPARAM>(bogus));
    PostMessageW(w.hwnd, WM_EX_INVALIDATE, RedrawNow, static_cast<LPARAM>(bogus));
    w.pump();
    w.send(WM_SYSCHAR, 'z', 1 << 29);

    EXPECT_TRUE(a.events.empty()) << "nothing was dispatched";
    EXPECT_EQ(foreign.code, EV_CLICK) << "the foreign record is untouched";
    EXPECT_EQ(w.host.eventRecords.size(), 0u) << "the genuine record was freed";
    EXPECT_EQ(w.host.focusedControl, h(b));
    EXPECT_TRUE(w.host.accelerators.empty());

    // A rectangle is only redrawn when it is the bounds of a control of the tree.
    repaintSilently(a, 0xFFFF0000);
    RectF copy = a.currentBounds();
    SendMessageW(w.hwnd, WM_EX_INVALIDATE, RedrawNow, reinterpret_cast<LPARAM>(&copy));
    EXPECT_EQ(GetPixel(w.host.backDC, 20, 50), RGB(254, 254, 254)) << "a look-alike rectangle is ignored";
    SendMessageW(w.hwnd, WM_EX_INVALIDATE, RedrawNow, reinterpret_cast<LPARAM>(&a.currentBounds()));
    EXPECT_EQ(GetPixel(w.host.backDC, 20, 50), RGB(255, 0, 0));
}

TEST(HostMessages, EventRecordsThatNeverArriveAreFreed)
{
    // Posted, and the window destroyed before they are dispatched.
    {
        HostTestWindow w;
        ASSERT_TRUE(w.attach(HostAttachOptions{.frameFlags = 0}));
        RecordingControl& a = w.add(10, 40, 50, 20);
        a.postEvent(EV_CLICK, 0, 0);
        a.postEvent(EV_CLICK, 0, 0);
        EXPECT_EQ(w.host.eventRecords.size(), 2u);
        DestroyWindow(w.hwnd);
        EXPECT_EQ(w.host.eventRecords.size(), 0u);
    }
    // Sent, and not delivered to the host.
    HostTestWindow w;
    ASSERT_TRUE(w.attach(HostAttachOptions{.frameFlags = 0}));
    RecordingControl& a = w.add(10, 40, 50, 20);
    w.host.setOnMessage([](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT { return msg == WM_EX_EVENT ? 0 : -1; });
    a.events.clear();
    EXPECT_EQ(a.sendEvent(EV_CLICK, 0, 0), 0);
    EXPECT_TRUE(a.events.empty());
    EXPECT_EQ(w.host.eventRecords.size(), 0u);
}
