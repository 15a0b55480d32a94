#include <gtest/gtest.h>

#include "Engine.h"
#include "ProductProcess.h"
#include "ProductWindow.h"
#include "Text.h"
#include "Uninstaller.h"

using namespace product_testing;

namespace {

RECT frameOf(HWND window)
{
    RECT frame = {};
    GetWindowRect(window, &frame);
    return frame;
}

POINT closeButtonCentre(HWND window)
{
    const RECT frame = frameOf(window);
    const RECT& close = ProductWindow::closeArea;
    return {frame.left + (close.left + close.right) / 2, frame.top + (close.top + close.bottom) / 2};
}

// A copy left running from elsewhere would take every start of these tests as a second one.
class ProductWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(productWindows().empty()) << "another fj.exe is running"; }
};

}  // namespace

TEST_F(ProductWindowTest, OpensOneBorderlessWindowOfTheEngineTitledWithTheProductName)
{
    ProductProcess fj;
    ASSERT_TRUE(fj.started()) << programPath();
    const HWND window = fj.waitForWindow();
    ASSERT_TRUE(window);

    wchar_t text[64] = {}, className[64] = {};
    GetWindowTextW(window, text, 64);
    GetClassNameW(window, className, 64);
    EXPECT_EQ(std::wstring(text), toWide("\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7"));  // 飞鲸网游加速器
    EXPECT_EQ(std::wstring(className), toWide(engineWindowClass));
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_BORDER), 0);

    const RECT frame = frameOf(window);
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(frame.right - frame.left, ProductWindow::width);
    EXPECT_EQ(frame.bottom - frame.top, ProductWindow::height);
    EXPECT_EQ(client.right, ProductWindow::width);
    EXPECT_EQ(client.bottom, ProductWindow::height);
    EXPECT_EQ(productWindows().size(), 1u);
}

TEST_F(ProductWindowTest, ShowsTheDarkBackgroundThePanelTheNameAndTheStatusLine)
{
    ProductProcess fj;
    const HWND window = fj.waitForWindow();
    ASSERT_TRUE(window);
    const ScreenCapture screen(frameOf(window));

    const struct {
        int x, y;
        COLORREF color;
    } plainPixels[] = {
        {10, 40, RGB(44, 56, 72)},   {210, 20, RGB(44, 56, 72)},  {5, 160, RGB(44, 56, 72)},
        {410, 190, RGB(44, 56, 72)}, {5, 205, RGB(34, 44, 56)},   {410, 255, RGB(34, 44, 56)},
        {350, 230, RGB(34, 44, 56)},  {419, 100, RGB(44, 56, 72)}, {100, 259, RGB(34, 44, 56)},
        {419, 259, RGB(34, 44, 56)},  {0, 0, RGB(44, 56, 72)},     {0, 259, RGB(34, 44, 56)},
    };
    for (const auto& p : plainPixels)
        EXPECT_EQ(screen.at(p.x, p.y), p.color) << p.x << "," << p.y;

    // The name in near-white glyphs, the status line in light grey, nothing between them and above.
    EXPECT_GT(screen.brightPixels(ProductWindow::nameArea, 230), 150);
    EXPECT_GT(screen.brightPixels(ProductWindow::statusArea, 150), 40);
    EXPECT_EQ(screen.brightPixels(ProductWindow::statusArea, 240), 0);
    EXPECT_EQ(screen.pixelsOtherThan(RECT{0, 36, 380, 60}, RGB(44, 56, 72)), 0);
    EXPECT_EQ(screen.pixelsOtherThan(RECT{0, 150, 420, 196}, RGB(44, 56, 72)), 0);
    // The close picture sits in its corner.
    EXPECT_GT(screen.pixelsOtherThan(ProductWindow::closeArea, RGB(44, 56, 72)), 20);
}

TEST_F(ProductWindowTest, CloseButtonShowsItsHoverPictureUnderTheMouseAndAPressEndsTheProgramWithCodeZero)
{
    ProductProcess fj;
    const HWND window = fj.waitForWindow();
    ASSERT_TRUE(window);
    const RECT frame = frameOf(window);
    moveMouse(frame.left + 200, frame.top + 170);
    const ScreenCapture before(frame);
    const POINT centre = closeButtonCentre(window);
    moveMouse(centre.x, centre.y);
    // The button fades to its hover picture over a few frames.
    const bool hovered = waitUntil(
        [&] {
            const ScreenCapture now(frame);
            for (int y = ProductWindow::closeArea.top; y < ProductWindow::closeArea.bottom; ++y)
                for (int x = ProductWindow::closeArea.left; x < ProductWindow::closeArea.right; ++x)
                    if (now.at(x, y) != before.at(x, y))
                        return true;
            return false;
        },
        5000);
    EXPECT_TRUE(hovered);

    clickAt(centre.x, centre.y);
    EXPECT_EQ(fj.waitForExit(), std::optional<DWORD>(0));
    EXPECT_TRUE(productWindows().empty());
}

TEST_F(ProductWindowTest, PressOnTheBackgroundDragsTheWindowAndDoesNotCloseIt)
{
    ProductProcess fj;
    const HWND window = fj.waitForWindow();
    ASSERT_TRUE(window);
    const RECT before = frameOf(window);
    dragFrom(before.left + 60, before.top + 170, 40, 30);
    const bool moved = waitUntil([&] { return frameOf(window).left != before.left; }, 3000);
    const RECT after = frameOf(window);
    EXPECT_TRUE(moved);
    EXPECT_EQ(after.left - before.left, 40);
    EXPECT_EQ(after.top - before.top, 30);
    EXPECT_FALSE(fj.waitForExit(200));
}

// The uninstaller asks a running program to go by WM_CLOSE to its windows and terminates it (code 1)
// only when it stays; every way of asking must end it on its own, with code 0.
TEST_F(ProductWindowTest, EveryRequestToCloseEndsTheProgramOnItsOwnWithCodeZero)
{
    const struct {
        const char* name;
        void (*ask)(HWND window);
    } requests[] = {
        {"WM_CLOSE", [](HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }},
        {"SC_CLOSE", [](HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"uninstaller", [](HWND) { Uninstaller::endProgram(programPath()); }},
    };
    for (const auto& request : requests) {
        ProductProcess fj;
        const HWND window = fj.waitForWindow();
        ASSERT_TRUE(window) << request.name;
        request.ask(window);
        EXPECT_EQ(fj.waitForExit(), std::optional<DWORD>(0)) << request.name;
    }
}

TEST_F(ProductWindowTest, SecondStartRaisesTheFirstWindowAndExitsWithCodeZero)
{
    ProductProcess first;
    const HWND window = first.waitForWindow();
    ASSERT_TRUE(window);
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(waitUntil([&] { return IsIconic(window) != FALSE; }, 5000));

    ProductProcess second;
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.waitForExit(), std::optional<DWORD>(0));
    EXPECT_TRUE(waitUntil([&] { return !IsIconic(window); }, 5000));
    EXPECT_EQ(productWindows(), std::vector<HWND>{window});
    EXPECT_FALSE(first.waitForExit(0));
}

TEST_F(ProductWindowTest, StartAfterTheFirstHasClosedOpensANewWindow)
{
    {
        ProductProcess first;
        const HWND window = first.waitForWindow();
        ASSERT_TRUE(window);
        PostMessageW(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(first.waitForExit(), std::optional<DWORD>(0));
    }
    ProductProcess again;
    EXPECT_TRUE(again.waitForWindow());
}
