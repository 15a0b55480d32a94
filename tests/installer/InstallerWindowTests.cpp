#include <gtest/gtest.h>

#include "AgreementBox.h"
#include "Engine.h"
#include "InstallerTestSupport.h"
#include "InstallWorker.h"
#include "InstallerWindow.h"
#include "Resources.h"

using namespace testing_support;
using E = InstallerElement;

namespace {

// One window for the suite: the process has one installer window, and destroying a shown window
// costs seconds under Wine. Cases leave it in the choosing state.
class InstallerWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        window = new InstallerWindow;
        ASSERT_TRUE(window->startInstaller(GetModuleHandleW(nullptr)));
        settle();
    }
    static void TearDownTestSuite()
    {
        delete window;  // none when the last case destroyed it
        window = nullptr;
    }
    static void settle(DWORD ms = 300)
    {
        const DWORD end = GetTickCount() + ms;
        pumpUntil([&] { return static_cast<LONG>(GetTickCount() - end) >= 0; });
    }
    // The real cursor goes there first: the host decides hover again from where it rests.
    static void mouse(UINT msg, int x, int y)
    {
        SetCursorPos(InstallerWindow::screenX + x, InstallerWindow::screenY + y);
        SendMessageW(window->window(), msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, y));
        settle(50);
    }
    // The pointer alone moves: the window hears of it as of real input.
    static void jump(int x, int y)
    {
        SetCursorPos(InstallerWindow::screenX + x, InstallerWindow::screenY + y);
        settle(50);
    }
    static void click(int x, int y)
    {
        mouse(WM_MOUSEMOVE, x, y);
        mouse(WM_LBUTTONDOWN, x, y);
        mouse(WM_LBUTTONUP, x, y);
    }
    // What the screen shows at window pixel (x, y).
    static COLORREF screenPixel(int x, int y)
    {
        HDC dc = GetDC(nullptr);
        const COLORREF color = GetPixel(dc, InstallerWindow::screenX + x, InstallerWindow::screenY + y);
        ReleaseDC(nullptr, dc);
        return color;
    }
    // The window's picture on screen, row by row, as COLORREFs.
    static std::vector<COLORREF> screenShot(const RECT& r)
    {
        const int width = r.right - r.left, height = r.bottom - r.top;
        std::vector<COLORREF> pixels(static_cast<size_t>(width) * height);
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        HGDIOBJ old = SelectObject(dc, bitmap);
        BitBlt(dc, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
        SelectObject(dc, old);
        GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        for (COLORREF& p : pixels)  // 0x00RRGGBB as read; COLORREF is 0x00BBGGRR
            p = RGB(GetBValue(p), GetGValue(p), GetRValue(p));
        return pixels;
    }
    // The display scale changes as Windows announces it, the window taking the suggested rectangle.
    static void changeDpi(int dpi, RECT suggested)
    {
        SendMessageW(window->window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        settle();
    }
    // Pixels of the rectangle close to the label text colour RGB(210,210,210).
    static int textPixels(const RECT& r)
    {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const COLORREF c = screenPixel(x, y);
                if (GetRValue(c) > 150 && GetGValue(c) > 150 && GetBValue(c) > 150)
                    ++count;
            }
        return count;
    }
    static InstallerWindow* window;
};

InstallerWindow* InstallerWindowTest::window = nullptr;

}  // namespace

TEST_F(InstallerWindowTest, StartsChoosingWithEveryElementWhereTheLayoutPutsIt)
{
    RECT frame;
    GetWindowRect(window->window(), &frame);
    EXPECT_EQ(frame.left, 50);
    EXPECT_EQ(frame.top, 50);
    EXPECT_EQ(frame.right - frame.left, 588);
    EXPECT_EQ(frame.bottom - frame.top, 438);

    struct Row {
        const char* name;
        Control* control;
        RectF bounds;
        bool visible;
    };
    InstallerWindow& w = *window;
    const Row rows[] = {
        // Two pixels past the window and past their seam at 270: see PanelsCoverTheWindowsLastColumnAndRow...
        {"backgroundTop", &w.background[0], {0, 0, 590, 272}, true},
        {"backgroundBottom", &w.background[1], {0, 270, 590, 170}, true},
        {"closeButton", &w.closeButton, {554, 3, 30, 30}, true},
        {"bannerPicture", &w.bannerPicture, {104, 96, 380, 105}, true},
        {"installButton", &w.installButton, {190, 360, 200, 50}, true},
        {"folderEdit", &w.folderEdit, {28, 304, 474, 30}, true},
        {"progressBar", &w.progressBar, {32, 330, 524, 18}, false},
        {"browseButton", &w.browseButton, {508, 305, 58, 28}, true},
        {"runButton", &w.runButton, {190, 356, 200, 50}, false},
        {"agreementLink[0]", &w.agreementLink[0], {40, 391, 60, 24}, true},
        {"agreementLink[1]", &w.agreementLink[1], {40, 391, 60, 24}, false},
        {"agreementCheck", &w.agreementCheck, {29, 396, 16, 16}, true},
        {"agreementPanel", &w.agreementPanel, {76, 20, 440, 340}, false},
    };
    ControlHandle previous = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NE(row.control->handle(), 0u);
        const RectF& b = row.control->currentBounds();
        EXPECT_EQ(b.x, row.bounds.x);
        EXPECT_EQ(b.y, row.bounds.y);
        EXPECT_EQ(b.width, row.bounds.width);
        EXPECT_EQ(b.height, row.bounds.height);
        EXPECT_EQ(row.control->isVisible(), row.visible);
        // Created in table order: each one lies above the one before.
        if (previous && row.visible)
            EXPECT_EQ(HostWindow::controlAt(row.control->handle(), b.x + 1, b.y + 1), row.control->handle());
        previous = row.control->handle();
    }
    EXPECT_TRUE(w.visible(E::FolderCaption));
    EXPECT_FALSE(w.visible(E::StatusText));
    EXPECT_EQ(w.text(E::FolderCaption), "\xB0\xB2\xD7\xB0\xCE\xBB\xD6\xC3\xA3\xBA");  // 安装位置：
    EXPECT_EQ(w.text(E::FolderEdit), "C:\\\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7\\");

    EXPECT_EQ(w.closeButton.textColor(), 0xFEFFFFFFu);
    EXPECT_EQ(w.installButton.textColor(), 0xD2FFFFFFu);
    EXPECT_EQ(w.agreementLink[1].textColor(), 0xFEFFFFFFu);
    EXPECT_EQ(w.progressBar.barColor1(), 0xFE0088FFu);
    EXPECT_EQ(w.progressBar.borderColor(), 0x64606060u);
    EXPECT_EQ(w.progressBar.value(), 0);
    EXPECT_EQ(w.installButton.imageMode(), ButtonControl::ImageStretched);
    EXPECT_EQ(w.agreementCheck.imageMode(), ButtonControl::ImageNatural);
    EXPECT_EQ(w.firstPicture(E::AgreementCheck), pictureBytes("unticked"));
    EXPECT_EQ(w.agreementPanel.inputMode(), EditControl::ModeReadOnly);
    EXPECT_EQ(w.agreementPanel.text(), std::string(agreementText()));
}

TEST_F(InstallerWindowTest, ScreenShowsTheFrameTheLabelsAndNoStrayCaret)
{
    settle(700);  // past a caret blink
    EXPECT_EQ(screenPixel(300, 20), RGB(44, 56, 72));
    EXPECT_EQ(screenPixel(300, 290), RGB(34, 44, 56));
    EXPECT_GT(textPixels({28, 280, 90, 304}), 20);  // "安装位置："
    // Nothing drawn at the window's origin, where an unplaced system caret would blink.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(screenPixel(0, 5), RGB(44, 56, 72));
        settle(260);
    }
}

TEST_F(InstallerWindowTest, LabelsAreShownMovedAndRecaptionedAndThePanelHidesTheirText)
{
    InstallerWindow& w = *window;
    const std::string done = "\xCD\xEA\xB3\xC9\xB0\xB2\xD7\xB0";  // 完成安装
    w.visible(E::StatusText, true);
    w.text(E::StatusText, done);
    w.top(E::StatusText, 300);
    settle();
    EXPECT_EQ(w.top(E::StatusText), 300.0f);
    EXPECT_EQ(w.text(E::StatusText), done);
    EXPECT_EQ(w.statusText.bounds().top, 300);
    EXPECT_GT(textPixels({250, 300, 340, 324}), 10);
    EXPECT_EQ(textPixels({0, 373, 180, 397}), 0);

    // The panel covers the caption's right end: the text there is the panel's, not the label's.
    const int before = textPixels({76, 280, 90, 304});
    EXPECT_GT(before, 0);
    w.visible(E::AgreementPanel, true);
    settle();
    EXPECT_GT(textPixels({28, 280, 76, 304}), 10);
    w.visible(E::AgreementPanel, false);
    settle();
    EXPECT_EQ(textPixels({76, 280, 90, 304}), before);

    w.visible(E::StatusText, false);
    w.top(E::StatusText, 373);
    w.text(E::StatusText, "\xD5\xFD\xD4\xDA\xB0\xB2\xD7\xB0\xD6\xD0......");
    settle();
    EXPECT_EQ(textPixels({250, 300, 340, 324}), 0);
}

TEST_F(InstallerWindowTest, ADpiChangeScalesTheWindowAndItsPlainLabelsAndKeepsTheirState)
{
    InstallerWindow& w = *window;
    auto rescale = [&](int dpi, SIZE size) {
        RECT rc = {};
        GetWindowRect(w.window(), &rc);
        changeDpi(dpi, {rc.left, rc.top, rc.left + size.cx, rc.top + size.cy});
    };
    auto windowSize = [&] {
        RECT rc = {};
        GetWindowRect(w.window(), &rc);
        return SIZE{rc.right - rc.left, rc.bottom - rc.top};
    };
    // The agreement's edit control laid out once: it measures with its graphics, which the change replaces.
    w.visible(E::AgreementPanel, true);
    settle();
    w.visible(E::AgreementPanel, false);
    const std::string caption = w.text(E::StatusText);
    rescale(144, {882, 657});
    EXPECT_EQ(w.hostWindow.redrawLock, 0);

    EXPECT_EQ(windowSize().cx, 882);
    EXPECT_EQ(windowSize().cy, 657);
    // 安装位置： at (28, 280, 62 x 24) and the status row at (0, 373, 588 x 24), in device pixels.
    const RECT caption144 = w.folderCaption.bounds(), status144 = w.statusText.bounds();
    EXPECT_EQ(caption144.left, 42);
    EXPECT_EQ(caption144.top, 420);
    EXPECT_EQ(caption144.right, 135);
    EXPECT_EQ(caption144.bottom, 456);
    EXPECT_EQ(status144.right, 882);
    EXPECT_EQ(w.top(E::StatusText), 373.0f) << "the element's numbers stay logical";
    EXPECT_EQ(w.text(E::StatusText), caption);
    EXPECT_FALSE(w.visible(E::StatusText));
    EXPECT_EQ(w.hostWindow.size.cx, 588);

    rescale(96, {588, 438});
    EXPECT_EQ(windowSize().cx, 588);
    EXPECT_EQ(w.folderCaption.bounds().left, 28);
    EXPECT_EQ(w.folderCaption.bounds().top, 280);
    EXPECT_EQ(w.statusText.bounds().bottom, 397);
    EXPECT_EQ(w.hostWindow.redrawLock, 0) << "every step of the change came back";
}

// The host paints no colour under the panels, and a label's fill stops short of its last column and row:
// the window's last column and row and the rows at the panels' seam must still show a panel.
TEST_F(InstallerWindowTest, PanelsCoverTheWindowsLastColumnAndRowAndTheirSeamAtEveryScale)
{
    const COLORREF top = RGB(44, 56, 72), bottom = RGB(34, 44, 56);
    const auto device = [](int logical, int dpi) { return (logical * dpi + 48) / 96; };  // rounded half up
    for (const int dpi : {96, 120, 144, 168}) {
        SCOPED_TRACE(dpi);
        // At the screen's corner: at 168 DPI the window just fits the bed's 1280 x 800 screen.
        const RECT area = {0, 0, device(InstallerWindow::width, dpi), device(InstallerWindow::height, dpi)};
        changeDpi(dpi, area);
        RECT rc = {};
        GetWindowRect(window->window(), &rc);
        ASSERT_EQ(rc.right - rc.left, area.right);
        ASSERT_EQ(rc.bottom - rc.top, area.bottom);
        const int width = area.right, height = area.bottom, seam = device(270, dpi);
        const std::vector<COLORREF> shot = screenShot(rc);
        const auto at = [&](int x, int y) { return shot[static_cast<size_t>(y) * width + x]; };
        int wrongInColumn = 0, wrongInRow = 0, wrongAtSeam = 0;
        for (int y = 0; y < height; ++y)
            wrongInColumn += at(width - 1, y) != (y < seam ? top : bottom);
        for (int x = 0; x < width; ++x) {
            wrongInRow += at(x, height - 1) != bottom;
            wrongAtSeam += (at(x, seam - 1) != top) + (at(x, seam) != bottom);
        }
        EXPECT_EQ(wrongInColumn, 0) << "last column, e.g. " << std::hex << at(width - 1, height / 2);
        EXPECT_EQ(wrongInRow, 0) << "last row, e.g. " << std::hex << at(width / 2, height - 1);
        EXPECT_EQ(wrongAtSeam, 0) << "rows " << seam - 1 << " and " << seam;
    }
    changeDpi(96, {InstallerWindow::screenX, InstallerWindow::screenY, InstallerWindow::screenX + InstallerWindow::width,
                   InstallerWindow::screenY + InstallerWindow::height});
    RECT rc = {};
    GetWindowRect(window->window(), &rc);
    EXPECT_EQ(rc.left, InstallerWindow::screenX);
    EXPECT_EQ(rc.right - rc.left, InstallerWindow::width);
}

TEST_F(InstallerWindowTest, MouseOverTheLinkSwapsItsTextsAndTheBoxTakesItsHoverPicture)
{
    InstallerWindow& w = *window;
    // One jump onto the link and one jump off, as the pointer makes them (the window hears one move for
    // each): the highlighted text that replaced it under the resting mouse hears of both, and the plain
    // text is back.
    jump(300, 20);
    jump(60, 400);
    EXPECT_EQ(w.hostWindow.hoverControl, w.agreementLink[1].handle());
    jump(300, 20);
    EXPECT_TRUE(w.agreementLink[0].isVisible());
    EXPECT_FALSE(w.agreementLink[1].isVisible());

    mouse(WM_MOUSEMOVE, 300, 20);
    mouse(WM_MOUSEMOVE, 60, 400);
    EXPECT_FALSE(w.agreementLink[0].isVisible());
    EXPECT_TRUE(w.agreementLink[1].isVisible());
    mouse(WM_MOUSEMOVE, 62, 400);  // now over the highlighted text
    EXPECT_TRUE(w.agreementLink[1].isVisible());
    mouse(WM_MOUSEMOVE, 37, 404);
    EXPECT_TRUE(w.agreementLink[0].isVisible());
    EXPECT_FALSE(w.agreementLink[1].isVisible());
    EXPECT_EQ(w.agreementCheck.state(), ButtonControl::StateHover);
    mouse(WM_MOUSEMOVE, 300, 20);
    EXPECT_EQ(w.agreementCheck.state(), ButtonControl::StateNormal);

    // Ticked, the box's hover gives a press the unticked picture: the click would untick it.
    click(37, 404);
    ASSERT_EQ(w.firstPicture(E::AgreementCheck), pictureBytes("ticked"));
    mouse(WM_MOUSEMOVE, 300, 20);
    mouse(WM_MOUSEMOVE, 37, 404);
    EXPECT_EQ(w.agreementCheck.state(), ButtonControl::StateHover);
    EXPECT_EQ(w.agreementCheck.pressedImage(), pictureBytes("unticked"));
    click(37, 404);
    mouse(WM_MOUSEMOVE, 300, 20);
    EXPECT_EQ(w.firstPicture(E::AgreementCheck), pictureBytes("unticked"));
}

TEST_F(InstallerWindowTest, ClicksReachTheProcedureThroughTheBoundHandlers)
{
    InstallerWindow& w = *window;
    {
        DialogWatcher watcher("\xD0\xAD\xD2\xE9\xB9\xB4\xD1\xA1\xCC\xE1\xCA\xBE", IDOK);  // 协议勾选提示
        click(290, 385);  // 极速安装 while unticked
        ASSERT_TRUE(watcher.waitAnswered());
    }
    EXPECT_TRUE(w.folderEdit.isVisible());
    EXPECT_FALSE(w.procedure()->hasStartedWorker());

    click(70, 403);  // 使用协议
    EXPECT_TRUE(w.agreementPanel.isVisible());
    click(70, 403);
    EXPECT_FALSE(w.agreementPanel.isVisible());

    click(37, 404);  // the box
    EXPECT_TRUE(w.procedure()->isAgreementTicked());
    EXPECT_EQ(w.firstPicture(E::AgreementCheck), pictureBytes("ticked"));
    click(70, 403);  // ticked: the link leaves the panel alone
    EXPECT_FALSE(w.agreementPanel.isVisible());
    click(37, 404);
    EXPECT_FALSE(w.procedure()->isAgreementTicked());
    mouse(WM_MOUSEMOVE, 300, 20);
}

TEST_F(InstallerWindowTest, ADialogOpenedByAPressGetsTheMouse)
{
    // While the agreement message is up, nothing of this thread holds the mouse captured.
    struct Probe {
        DWORD thread;
        HWND capture = reinterpret_cast<HWND>(1);
        bool seen = false;
    } probe{GetCurrentThreadId()};
    HANDLE watcher = CreateThread(
        nullptr, 0,
        [](void* p) WINAPI -> DWORD {
            auto* probe = static_cast<Probe*>(p);
            for (int i = 0; i < 300 && !probe->seen; ++i, Sleep(20)) {
                HWND dialog = FindWindowA("#32770", "\xD0\xAD\xD2\xE9\xB9\xB4\xD1\xA1\xCC\xE1\xCA\xBE");
                if (!dialog)
                    continue;
                GUITHREADINFO info = {sizeof(info)};
                GetGUIThreadInfo(probe->thread, &info);
                probe->capture = info.hwndCapture;
                probe->seen = true;
                PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            }
            return 0;
        },
        &probe, 0, nullptr);
    click(290, 385);
    WaitForSingleObject(watcher, 10000);
    CloseHandle(watcher);
    ASSERT_TRUE(probe.seen);
    EXPECT_EQ(probe.capture, nullptr);
    EXPECT_FALSE(window->hostWindow.pressed);
    mouse(WM_MOUSEMOVE, 300, 20);
}

// Last of the suite: the window is gone afterwards. Alt+F4 and the taskbar's "close window" reach the
// window as SC_CLOSE and destroy it; the process must end then at once with 0, as the close button ends
// it, not wait invisibly for the worker.
TEST_F(InstallerWindowTest, ClosingTheWindowDuringExtractionEndsTheProcessAtOnceWithZero)
{
    static HANDLE reached, release;
    static std::vector<UINT> codes;
    reached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    codes.clear();
    InstallWorker::hooks.afterReport = [](int) {
        SetEvent(reached);
        WaitForSingleObject(release, 30000);
    };
    InstallProcedure::exitProcess = [](UINT code) WINAPI { codes.push_back(code); };
    TempFolder folder;
    window->folderEdit.text(folder.path());
    click(37, 404);   // the box
    click(290, 385);  // 极速安装
    ASSERT_TRUE(pumpUntil([] { return WaitForSingleObject(reached, 0) == WAIT_OBJECT_0; }));

    const HWND hwnd = window->window();
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(codes, std::vector<UINT>{0});
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(window->procedure()->isWorkerFinished()) << "ended while the worker was still unpacking";
    EXPECT_FALSE(pathExists(folder / "Uninstall.dat"));

    SetEvent(release);
    delete window;  // waits for the worker, whose reports find no window any more
    window = nullptr;
    InstallWorker::hooks.afterReport = nullptr;
    InstallProcedure::exitProcess = &ExitProcess;
    CloseHandle(reached);
    CloseHandle(release);
}
