#include "PopupMenu.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "Engine.h"
#include "Text.h"

PopupMenu editMenu;

namespace {

MenuWindowFunction menuWindow = nullptr;

std::vector<std::uint8_t> copyOf(Bytes bytes)
{
    return {bytes.begin(), bytes.end()};
}

}  // namespace

PopupMenu::~PopupMenu() = default;

std::unique_ptr<PopupMenu> PopupMenu::clone() const
{
    return std::make_unique<PopupMenu>(*this);
}

std::intptr_t PopupMenu::show(HWND owner)
{
    return menuWindow ? menuWindow(owner, 0, 0, 0, items_, false, onOpen_, painter_) : 0;
}

std::intptr_t PopupMenu::popupAt(HWND owner, int x, int y)
{
    return menuWindow ? menuWindow(owner, x, y, shownWidth(width_), items_, true, onOpen_, painter_) : 0;
}

void PopupMenu::addItem(std::optional<std::string> text, std::optional<Bytes> picture, std::optional<int> option1,
                        std::optional<int> separator, std::optional<int> option2, std::optional<std::intptr_t> keyCode,
                        std::optional<ARGB> color1, std::optional<int> option3, std::optional<int> option4,
                        std::optional<ARGB> color2)
{
    MenuItem entry;
    if (text)
        entry.text = toWide(*text);
    if (picture)
        entry.picture = copyOf(*picture);
    entry.option1 = option1.value_or(0);
    entry.separator = separator.value_or(0);
    entry.option2 = option2.value_or(MenuItem::DeliverByCommand);
    entry.keyCode = keyCode.value_or(0);
    entry.color1 = color1.value_or(defaultColor1());
    entry.option3 = option3.value_or(0);
    entry.option4 = option4.value_or(0);
    entry.color2 = color2.value_or(defaultColor2());
    items_.push_back(std::move(entry));
}

bool PopupMenu::removeItem(int index)
{
    if (!isValidIndex(index))
        return false;
    items_.erase(items_.begin() + (index - 1));
    return true;
}

void PopupMenu::clear()
{
    items_.clear();
}

MenuItem* PopupMenu::item(int index)
{
    return isValidIndex(index) ? &items_[static_cast<size_t>(index - 1)] : nullptr;
}

int PopupMenu::itemState(int index, std::optional<int> value)
{
    MenuItem* entry = item(index);
    if (!entry)
        return 0;
    if (value)
        entry->option1 = *value;
    return entry->option1;
}

std::string PopupMenu::itemText(int index, std::optional<std::string> text)
{
    MenuItem* entry = item(index);
    if (!entry)
        return {};
    if (text)
        entry->text = toWide(*text);
    return toAnsi(entry->text);
}

std::vector<std::uint8_t> PopupMenu::itemTextBytes(int index, std::optional<Bytes> bytes)
{
    MenuItem* entry = item(index);
    if (!entry)
        return {};
    if (bytes) {
        entry->text.assign((bytes->size() + 1) / 2, L'\0');
        if (!bytes->empty())
            std::memcpy(entry->text.data(), bytes->data(), bytes->size());
    }
    std::vector<std::uint8_t> raw(entry->text.size() * sizeof(wchar_t));
    if (!raw.empty())
        std::memcpy(raw.data(), entry->text.data(), raw.size());
    return raw;
}

std::vector<std::uint8_t> PopupMenu::itemPicture(int index, std::optional<Bytes> picture)
{
    MenuItem* entry = item(index);
    if (!entry)
        return {};
    if (picture)
        entry->picture = copyOf(*picture);
    return entry->picture;
}

bool PopupMenu::isValidIndex(int index) const
{
    return index >= 1 && index <= itemCount();
}

void PopupMenu::setWidth(int width)
{
    width_ = width;
}

PopupMenu& PopupMenu::self()
{
    return *this;
}

void PopupMenu::setOnOpen(MenuOpenHandler callback)
{
    onOpen_ = callback;
}

void PopupMenu::setPainter(HostPaintBackgroundHandler callback)
{
    painter_ = callback;
}

int PopupMenu::shownWidth(int width)
{
    return width == 0 ? 0 : std::max(width, minimumWidth);
}

ARGB PopupMenu::defaultColor1()
{
    return makeColor(RGB(0, 0, 0), 210);
}

ARGB PopupMenu::defaultColor2()
{
    return makeColor(RGB(48, 133, 198), 230);
}

MenuWindowFunction PopupMenu::setMenuWindow(MenuWindowFunction function)
{
    return std::exchange(menuWindow, function);
}

void fillEditMenu(PopupMenu& menu)
{
    struct Command {
        const char* text;
        int keyCode;
    };
    // "剪切(&T)", "复制(&C)", "粘贴(&P)", "全部选择(&A)"
    const Command commands[] = {
        {"\xBC\xF4\xC7\xD0(&T)", EDIT_MENU_CUT},
        {"\xB8\xB4\xD6\xC6(&C)", EDIT_MENU_COPY},
        {"\xD5\xB3\xCC\xF9(&P)", EDIT_MENU_PASTE},
        {nullptr, 0},
        {"\xC8\xAB\xB2\xBF\xD1\xA1\xD4\xF1(&A)", EDIT_MENU_SELECT_ALL},
    };
    for (const Command& command : commands) {
        if (command.text)
            menu.addItem(command.text, std::nullopt, 0, 0, 1, command.keyCode, std::nullopt, 0, 0);
        else
            menu.addItem("", std::nullopt, 0, 1, 0, std::nullopt, std::nullopt, 0, 0);
    }
}
