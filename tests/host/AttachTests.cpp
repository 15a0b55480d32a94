#include <gtest/gtest.h>

#include <cstring>

#include "CaptionButton.h"
#include "HostTestWindow.h"
#include "LabelControl.h"
#include "PictureControl.h"
#include "WindowThunk.h"

namespace {
struct ThunkCall {
    UINT_PTR first;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
} lastThunkCall;

LRESULT CALLBACK thunkTarget(HWND first, UINT msg, WPARAM wParam, LPARAM lParam)
{
    lastThunkCall = {reinterpret_cast<UINT_PTR>(first), msg, wParam, lParam};
    return 0x1234;
}

WNDPROC currentProc(HWND hwnd)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
}
}  // namespace

TEST(WindowThunk, CodeSwapsTheFirstArgumentJumpsAndIsNotWritable)
{
    WindowThunk thunk;
    const std::uintptr_t argument = sizeof(void*) == 8 ? std::uintptr_t(0xCAFEF00D12345678ull) : 0xCAFEF00Du;
    ASSERT_TRUE(thunk.build(thunkTarget, argument));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(thunk.code());
    const auto target = reinterpret_cast<std::uintptr_t>(&thunkTarget);
#if defined(_WIN64)
    // mov rcx, argument; mov rax, target; jmp rax
    std::uint8_t expected[22] = {0x48, 0xB9, 0, 0, 0, 0, 0, 0, 0, 0, 0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};
    std::memcpy(expected + 2, &argument, 8);
    std::memcpy(expected + 12, &target, 8);
#else
    // call $+9; dd target; pop ecx; mov dword [esp+4], argument; jmp [ecx]
    std::uint8_t expected[20] = {0xE8, 4, 0, 0, 0, 0, 0, 0, 0, 0x59, 0xC7, 0x44, 0x24, 0x04, 0, 0, 0, 0, 0xFF, 0x21};
    std::memcpy(expected + 5, &target, 4);
    std::memcpy(expected + 14, &argument, 4);
#endif
    ASSERT_EQ(sizeof expected, sizeof(WindowThunk::Code));
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof expected), 0);

    MEMORY_BASIC_INFORMATION page{};
    ASSERT_NE(VirtualQuery(thunk.code(), &page, sizeof page), 0u);
    EXPECT_EQ(page.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));

    // Called as a window procedure, it returns the target's answer with the stack balanced.
    EXPECT_EQ(CallWindowProcW(thunk.entry(), reinterpret_cast<HWND>(0x111), 0x222, 0x333, 0x444), 0x1234);
    EXPECT_EQ(lastThunkCall.first, argument);
    EXPECT_EQ(lastThunkCall.msg, 0x222u);
    EXPECT_EQ(lastThunkCall.wParam, 0x333u);
    EXPECT_EQ(lastThunkCall.lParam, 0x444);

    // Built again (a re-attach), it is rewritten in place and still execute-read.
    ASSERT_TRUE(thunk.build(thunkTarget, 7));
    ASSERT_NE(VirtualQuery(thunk.code(), &page, sizeof page), 0u);
    EXPECT_EQ(page.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
    EXPECT_EQ(CallWindowProcW(thunk.entry(), reinterpret_cast<HWND>(0x111), 1, 2, 3), 0x1234);
    EXPECT_EQ(lastThunkCall.first, 7u);
    thunk.free();
    EXPECT_FALSE(thunk.isBuilt());
}

TEST(HostAttach, RefusesNullDeadAndAlreadyAttachedWindows)
{
    HostTestWindow w;
    HostWindow other;
    EXPECT_FALSE(other.attach(nullptr));
    HWND dead = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(dead);
    EXPECT_FALSE(other.attach(dead));

    ASSERT_TRUE(w.attach());
    const WNDPROC installed = currentProc(w.hwnd);
    EXPECT_EQ(installed, w.host.thunk.entry());
    EXPECT_EQ(w.host.previousWndProc, HostTestWindow::originalProc());
    EXPECT_EQ(HostWindow::fromWindow(w.hwnd), &w.host);
    EXPECT_FALSE(w.host.attach(w.hwnd)) << "the same host twice";
    EXPECT_FALSE(other.attach(w.hwnd)) << "a second host on the same window";
    EXPECT_EQ(currentProc(w.hwnd), installed);
    EXPECT_EQ(HostWindow::fromWindow(w.hwnd), &w.host);
}

TEST(HostAttach, DetachRestoresTheProcedureAndRemovesTheProperty)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    RecordingControl& a = w.add(10, 40, 50, 20);
    a.tooltip(std::string("tip"));
    w.mouse(WM_MOUSEMOVE, 20, 50);  // registers a subclassing tooltip tool
    w.host.detach(w.hwnd);
    EXPECT_EQ(currentProc(w.hwnd), HostTestWindow::originalProc());
    EXPECT_EQ(GetPropW(w.hwnd, L"Ex_Wnd_Control"), nullptr);
    EXPECT_EQ(w.host.previousWndProc, nullptr);
    EXPECT_EQ(a.handle(), 0u) << "detach destroys the controls";
    EXPECT_EQ(w.host.firstControl, 0u);
    const int before = HostTestWindow::passedOn(WM_USER);
    w.send(WM_USER);
    EXPECT_EQ(HostTestWindow::passedOn(WM_USER), before + 1);

    ASSERT_TRUE(w.attach()) << "a detached host attaches again";
    EXPECT_EQ(currentProc(w.hwnd), w.host.thunk.entry());
}

TEST(HostAttach, DestroyingTheWindowDetachesAndPassesOnWmDestroy)
{
    auto w = std::make_unique<HostTestWindow>();
    ASSERT_TRUE(w->attach());
    RecordingControl& a = w->add(10, 40, 50, 20);
    a.tooltip(std::string("tip"));
    w->mouse(WM_MOUSEMOVE, 20, 50);
    DestroyWindow(w->hwnd);
    w->pump();
    EXPECT_EQ(HostTestWindow::passedOn(WM_DESTROY), 1);
    EXPECT_EQ(HostTestWindow::passedOn(WM_NCDESTROY), 1) << "the chain survives the freed thunk";
    EXPECT_EQ(w->host.previousWndProc, nullptr);
    EXPECT_EQ(a.of(EV_DESTROY).size(), 1u);
}

TEST(HostAttach, FrameFlagsAndStyles)
{
    struct Case {
        DWORD style;
        std::optional<int> flags;
        int expected;
        bool sysMenu;
        size_t buttons;
    } cases[] = {
        {WS_POPUP, 0, 512, false, 0},
        {WS_POPUP | WS_MAXIMIZEBOX, std::nullopt, 1 | 2 | 4 | 8 | 512, true, 2},
        {WS_POPUP | WS_MAXIMIZEBOX | WS_MINIMIZEBOX, std::nullopt, 1 | 2 | 4 | 8 | 16 | 512, true, 3},
        {WS_POPUP | WS_MINIMIZEBOX, 1024 | 32, 1 | 2 | 4 | 16 | 32 | 512, true, 3},
        {WS_POPUP | WS_MINIMIZEBOX, 4, 4 | 512, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags.value_or(-1) << " style " << std::hex << c.style);
        HostTestWindow w(c.style | WS_CAPTION | WS_THICKFRAME);
        HostAttachOptions options;
        options.frameFlags = c.flags;
        ASSERT_TRUE(w.attach(options));
        EXPECT_EQ(w.host.frameFlags, c.expected);
        EXPECT_EQ(w.host.captionButtons.size(), c.buttons);
        const LONG style = GetWindowLongW(w.hwnd, GWL_STYLE);
        EXPECT_EQ((style & WS_SYSMENU) != 0, c.sysMenu);
        EXPECT_EQ(style & (WS_DLGFRAME | WS_BORDER), 0);
        EXPECT_TRUE(style & WS_THICKFRAME) << "resizable by default with WS_THICKFRAME";
        EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, (c.expected & 16) != 0);
        EXPECT_EQ(w.host.iconControl->handle() != 0, (c.expected & 1) != 0);
        EXPECT_EQ(w.host.captionLabel->handle() != 0, (c.expected & 2) != 0);
        RECT client, window;
        GetClientRect(w.hwnd, &client);
        GetWindowRect(w.hwnd, &window);
        EXPECT_EQ(client.right, window.right - window.left) << "the whole window is client area";
    }
}

TEST(HostAttach, CaptionButtonsRunRightToLeftFromTheCloseButton)
{
    HostTestWindow w(WS_POPUP | WS_VISIBLE | WS_MAXIMIZEBOX | WS_MINIMIZEBOX, 400, 300);
    ASSERT_TRUE(w.attach());
    ASSERT_EQ(w.host.captionButtons.size(), 3u);
    struct Expected {
        int type;
        float x, width;
    } expected[] = {{4, 400 - 45, 39}, {8, 400 - 73, 28}, {16, 400 - 101, 28}};
    for (size_t i = 0; i < 3; ++i) {
        CaptionButton& button = *w.host.captionButtons[i];
        EXPECT_EQ(button.buttonType(), expected[i].type);
        EXPECT_EQ(button.currentBounds().x, expected[i].x);
        EXPECT_EQ(button.currentBounds().y, 7);
        EXPECT_EQ(button.currentBounds().width, expected[i].width);
        EXPECT_EQ(button.currentBounds().height, 19);
    }
    const RectF caption = w.host.captionLabel->currentBounds();
    EXPECT_EQ(caption.x, 28);
    EXPECT_EQ(caption.y, 10);
    EXPECT_EQ(caption.width, 400 - 101 - 28);
    EXPECT_EQ(caption.height, 20);
    EXPECT_EQ(w.host.captionLabel->text(), "Host");
    SetWindowTextW(w.hwnd, L"\x98de\x9cb8");  // 飞鲸
    EXPECT_EQ(w.host.captionLabel->text(), "\xB7\xC9\xBE\xA8");

    MINMAXINFO info = {};
    w.send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 28 * 3 + 11 + 36);
    EXPECT_EQ(info.ptMinTrackSize.y, 38);
}

TEST(HostAttach, OptionsTakeTheirDefaults)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    EXPECT_EQ(w.host.windowAlpha, -1);
    EXPECT_EQ(w.host.frameStyle(), 7);
    EXPECT_EQ(w.host.imageLayout, 0);
    EXPECT_EQ(w.host.draggable(), 1);
    EXPECT_TRUE(w.host.outlineExtra);
    EXPECT_TRUE(w.host.presentOnAttach);
    EXPECT_FALSE(w.host.resizable) << "no WS_THICKFRAME";
    EXPECT_FALSE(GetWindowLongW(w.hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
}

TEST(HostAttach, TooltipWindowComesWithTheFirstTipAndHoldsOneTool)
{
    HostTestWindow w;
    ASSERT_TRUE(w.attach());
    w.add(80, 40, 50, 20);
    RecordingControl& tipped = w.add(10, 40, 50, 20);
    w.mouse(WM_MOUSEMOVE, 90, 50);
    EXPECT_EQ(w.host.tooltipWindow, nullptr) << "no control with a tip was entered";

    tipped.tooltip(std::string("tip"));
    w.mouse(WM_MOUSEMOVE, 20, 50);
    ASSERT_NE(w.host.tooltipWindow, nullptr);
    EXPECT_EQ(w.host.toolInfo.cbSize, sizeof(void*) == 4 ? 44u : 64u) << "the record without lpReserved";
    EXPECT_EQ(w.host.toolInfo.uFlags, static_cast<UINT>(TTF_SUBCLASS));
    EXPECT_EQ(SendMessageW(w.host.tooltipWindow, TTM_GETTOOLCOUNT, 0, 0), 1);
    char text[16] = {};
    TTTOOLINFOA info = w.host.toolInfo;
    info.lpszText = text;
    SendMessageA(w.host.tooltipWindow, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(text, "tip");

    w.mouse(WM_MOUSEMOVE, 90, 50);
    w.mouse(WM_MOUSEMOVE, 20, 50);
    EXPECT_EQ(SendMessageW(w.host.tooltipWindow, TTM_GETTOOLCOUNT, 0, 0), 1) << "entering again replaces the tool";
}
