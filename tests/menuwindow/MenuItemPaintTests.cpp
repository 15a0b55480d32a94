#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "Images.h"
#include "MenuDriver.h"
#include "MenuItemControl.h"
#include "MenuWindow.h"
#include "Pixels.h"
#include "TestImages.h"
#include "Text.h"

namespace {

constexpr float rowWidth = 120, rowHeight = 22;

// A host-attached, hidden engine window to create items on.
class ItemHost {
public:
    ItemHost()
    {
        EngineWindowOptions options;
        options.x = 50;
        options.y = 50;
        options.width = 200;
        options.height = 100;
        hwnd = createEngineWindow(options);
        HostAttachOptions attach;
        attach.frameFlags = 0;
        attach.presentOnAttach = false;
        host.attach(hwnd, attach);
    }
    ~ItemHost() { DestroyWindow(hwnd); }

    MenuItemControl& add(const MenuItem& item, float height = rowHeight)
    {
        items.push_back(std::make_unique<MenuItemControl>());
        items.back()->createMenuItem(parentWindow(hwnd), 8, 8, rowWidth, height, item);
        return *items.back();
    }

    HWND hwnd = nullptr;
    HostWindow host;
    std::vector<std::unique_ptr<MenuItemControl>> items;
};

unsigned channel(ARGB c, int shift) { return (c >> shift) & 0xFF; }

bool closeTo(ARGB actual, ARGB expected, unsigned tolerance = 3)
{
    for (int shift : {0, 8, 16, 24}) {
        const int d = static_cast<int>(channel(actual, shift)) - static_cast<int>(channel(expected, shift));
        if (static_cast<unsigned>(std::abs(d)) > tolerance)
            return false;
    }
    return true;
}

struct Ink {
    int left = INT_MAX, right = -1, count = 0;
};

Ink inkIn(Control& c, int x0, int x1, int y0, int y1, unsigned minAlpha = 100)
{
    Ink ink;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if ((pixelAt(c.bitmap(), x, y) >> 24) < minAlpha)
                continue;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ++ink.count;
        }
    }
    return ink;
}

}  // namespace

TEST(MenuItemPaint, SeparatorDrawsOnlyItsLineOnTheSecondRow)
{
    ItemHost h;
    MenuItemControl& sep = h.add(separatorItem(), 3);
    for (int x : {0, 10, 60, static_cast<int>(rowWidth) - 4})
        EXPECT_TRUE(closeTo(pixelAt(sep.bitmap(), x, 1), MenuItemControl::separatorColor, 4))
            << x << ": " << std::hex << pixelAt(sep.bitmap(), x, 1);
    for (int x : {10, 60}) {
        EXPECT_EQ(pixelAt(sep.bitmap(), x, 0) >> 24, 0u) << x;
        EXPECT_EQ(pixelAt(sep.bitmap(), x, 2) >> 24, 0u) << x;
    }
    EXPECT_EQ(pixelAt(sep.bitmap(), static_cast<int>(rowWidth) - 1, 1) >> 24, 0u);
}

TEST(MenuItemPaint, HighlightFillsTheRowAndWhitensTheArrow)
{
    PopupMenu sub;
    ItemHost h;
    MenuItemControl& row = h.add(submenuItem("Sub", sub));
    const int w = static_cast<int>(rowWidth);
    const int arrowX = w - 7, arrowY = static_cast<int>(rowHeight) / 2 - 1;
    // Normal: no background, a dark arrow.
    EXPECT_EQ(pixelAt(row.bitmap(), 5, 5) >> 24, 0u);
    const ARGB darkArrow = pixelAt(row.bitmap(), arrowX, arrowY);
    EXPECT_GE(darkArrow >> 24, 0x78u) << std::hex << darkArrow;
    EXPECT_LT(channel(darkArrow, 16), 0x20u);

    row.paint(MenuItemControl::PaintHighlighted);
    EXPECT_EQ(row.paintedState(), MenuItemControl::PaintHighlighted);
    EXPECT_TRUE(closeTo(pixelAt(row.bitmap(), 5, 5), PopupMenu::defaultColor2())) << std::hex
                                                                             << pixelAt(row.bitmap(), 5, 5);
    EXPECT_GE(pixelAt(row.bitmap(), 0, 0) >> 24, PopupMenu::defaultColor2() >> 24);  // the outline over the fill
    const ARGB lightArrow = pixelAt(row.bitmap(), arrowX, arrowY);
    EXPECT_GT(channel(lightArrow, 16), 0xD8u) << std::hex << lightArrow;
    // Right of the tip the row is background again.
    EXPECT_TRUE(closeTo(pixelAt(row.bitmap(), w - 3, arrowY), PopupMenu::defaultColor2()));
}

TEST(MenuItemPaint, FocusedSubmenuRowStaysHighlightedWhenPaintedNormal)
{
    PopupMenu sub;
    ItemHost h;
    MenuItemControl& row = h.add(submenuItem("Sub", sub));
    h.host.focusedControl = row.handle();
    row.paint(MenuItemControl::PaintNormal);
    EXPECT_TRUE(closeTo(pixelAt(row.bitmap(), 5, 5), PopupMenu::defaultColor2()));
    MenuItemControl& command = h.add(commandItem("Cmd", 1));
    h.host.focusedControl = command.handle();
    command.paint(MenuItemControl::PaintNormal);
    EXPECT_EQ(pixelAt(command.bitmap(), 5, 5) >> 24, 0u);
}

TEST(MenuItemPaint, CheckMarkReplacesThePictureAndPictureIsCentredInItsSquare)
{
    const std::vector<std::uint8_t> red(std::begin(threeFrameGif), std::end(threeFrameGif));
    const struct {
        int option1;
        bool withPicture;
        bool expectRed;
        bool expectInk;
    } cases[] = {
        {0, false, false, false},
        {0, true, true, true},
        {MenuItemControl::StateChecked, false, false, true},
        {MenuItemControl::StateChecked, true, false, true},
    };
    for (const auto& c : cases) {
        ItemHost h;
        MenuItem item = commandItem("", 1);  // no caption: only the picture can ink the square
        item.option1 = c.option1;
        if (c.withPicture)
            item.picture = red;
        MenuItemControl& row = h.add(item);
        // The 4 x 4 picture sits at the centre of the square (2, 1, 20, 20): pixels 10..13 x 9..12.
        const ARGB centre = pixelAt(row.bitmap(), 11, 10);
        EXPECT_EQ(closeTo(centre, 0xFFFF0000, 2), c.expectRed) << c.option1 << " " << std::hex << centre;
        EXPECT_EQ(inkIn(row, 2, 22, 1, 21, 1).count > 0, c.expectInk) << c.option1 << " " << c.withPicture;
        EXPECT_EQ(inkIn(row, 22, static_cast<int>(rowWidth), 0, static_cast<int>(rowHeight), 1).count, 0);
        EXPECT_EQ(inkIn(row, 0, 2, 0, static_cast<int>(rowHeight), 1).count, 0);
    }
}

TEST(MenuItemPaint, CaptionStartsAfterTheIconColumnAndHidesTheAmpersand)
{
    ItemHost h;
    MenuItemControl& plain = h.add(commandItem("Cut", 1));
    MenuItemControl& marked = h.add(commandItem("&Cut", 1));
    const Ink a = inkIn(plain, 0, static_cast<int>(rowWidth), 0, static_cast<int>(rowHeight));
    const Ink b = inkIn(marked, 0, static_cast<int>(rowWidth), 0, static_cast<int>(rowHeight));
    ASSERT_GT(a.count, 0);
    EXPECT_GE(a.left, 30);
    EXPECT_LT(a.left, 34);
    // The "&" only underlines: the caption starts where the plain one does.
    EXPECT_NEAR(b.left, a.left, 1);
    EXPECT_LE(b.right, a.right + 1);
}

TEST(MenuItemPaint, DisabledRowDrawsItsCaptionAndLeavesTheDimmingToTheHost)
{
    ItemHost h;
    MenuItem item = commandItem("\xBC\xF4\xC7\xD0(&T)", 88);  // 剪切(&T)
    item.option1 = MenuItemControl::StateDisabled;
    MenuItemControl& row = h.add(item);
    row.disabled(true);
    row.repaint();
    const Ink ink = inkIn(row, 0, static_cast<int>(rowWidth), 0, static_cast<int>(rowHeight));
    EXPECT_GT(ink.count, 10);
    EXPECT_EQ(row.sendEvent(EV_QUERY_DIM, 0, 1), -1);  // drawn at half opacity by the host
    // Its access key is registered, but the host skips disabled controls.
    bool registered = false;
    for (const auto& entry : h.host.accelerators)
        registered = registered || (entry.key == 'T' && entry.control == row.handle());
    EXPECT_TRUE(registered);
    EXPECT_FALSE(h.host.onSysChar(WM_SYSCHAR, 'T', 0));
}

TEST(MenuItemPaint, DestroyedItemGivesUpItsAccessKey)
{
    ItemHost h;
    MenuItemControl& row = h.add(commandItem("&Go", 1));
    ASSERT_EQ(h.host.accelerators.size(), 1u);
    row.destroy();
    EXPECT_TRUE(h.host.accelerators.empty());
}

// Holds the edit menu open for a screenshot: run with --gtest_also_run_disabled_tests.
TEST(MenuScreenshot, DISABLED_HoldEditMenuOpen)
{
    PopupMenu menu;
    fillEditMenu(menu);
    std::vector<MenuItem> items = menu.items();
    MenuDriver driver;
    DWORD shownAt = 0;
    driver.onShown(0, [&](HWND window) {
        shownAt = GetTickCount();
        HostWindow* host = HostWindow::fromWindow(window);
        ControlHandle second = Control::fromHandle(host->firstControl)->nextSibling();
        static_cast<MenuItemControl*>(Control::fromHandle(second))->paint(MenuItemControl::PaintHighlighted);
    });
    driver.when([&] { return shownAt && GetTickCount() - shownAt > 6000; },
                [&] { PostMessageW(driver.opened[0].window, WM_CLOSE, 0, 0); });
    openRoot(nullptr, 40, 40, 0, items);
}
