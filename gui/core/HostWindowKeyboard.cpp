// Sections: keyboard · accelerators · focus
#include "HostWindow.h"

#include <algorithm>

namespace {
Control* controlOf(ControlHandle control)
{
    return Control::fromHandle(control);
}

char foldCase(int key)
{
    const char c = static_cast<char>(key & 0xFF);
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

// ---- keyboard ----

bool HostWindow::onKeyDown(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (focusedControl && dispatch(focusedControl, static_cast<int>(msg), wParam, lParam) != -1)
        return true;
    switch (wParam) {
    case VK_TAB:
        focusNextTopLevel();
        return true;
    case VK_RETURN:
    case VK_SPACE:
        clickFocused();
        return true;
    default:
        return false;
    }
}

ControlHandle HostWindow::topLevelOf(ControlHandle control) const
{
    while (controlOf(control)->parent())
        control = controlOf(control)->parent();
    return control;
}

void HostWindow::focusNextTopLevel()
{
    if (!firstControl)
        return;
    // A focused control outside this tree (another host's, or one gone) has no place in the cycle.
    const ControlHandle start = isInTree(focusedControl) ? topLevelOf(focusedControl) : firstControl;
    auto next = [this](ControlHandle c) {
        const ControlHandle n = controlOf(c)->nextSibling();
        return n ? n : firstControl;
    };
    for (ControlHandle c = next(start);; c = next(c)) {
        const Control* control = controlOf(c);
        if (control->isVisible() && control->isFocusable() && !control->isDisabled() &&
            control->kind() != KIND_CAPTION_BUTTON) {
            if (c != focusedControl)
                setFocus(c, true);
            return;
        }
        if (c == start)
            return;
    }
}

void HostWindow::clickFocused()
{
    const ControlHandle control = focusedControl;
    if (!isShownAndEnabled(control))
        return;
    const int kind = kindOf(control);
    dispatch(control, EV_CLICK, 0, 0);
    if (onClick)
        onClick(hwnd, control, 0, 0, kind);
}

// ---- accelerators ----

bool HostWindow::onSysChar(UINT msg, WPARAM wParam, LPARAM lParam)
{
    dispatch(focusedControl, static_cast<int>(msg), wParam, lParam);
    for (const Accelerator& entry : accelerators) {
        if (foldCase(entry.key) != foldCase(static_cast<int>(wParam)) || !isShownAndEnabled(entry.control))
            continue;
        // Copied: the click handler may change the accelerator table.
        const ControlHandle control = entry.control;
        const int kind = kindOf(control);
        dispatch(control, EV_CLICK, 0, 0);
        if (onClick)
            onClick(hwnd, control, wParam, lParam, kind);
        return true;
    }
    return false;
}

void HostWindow::removeAccelerators(ControlHandle control, int key)
{
    std::erase_if(accelerators,
                  [&](const Accelerator& a) { return a.control == control && (key == 0 || a.key == key); });
}

int HostWindow::setAccelerator(int key, ControlHandle control)
{
    auto entry = std::find_if(accelerators.begin(), accelerators.end(),
                              [key](const Accelerator& a) { return a.key == key; });
    if (!control) {
        if (entry != accelerators.end())
            accelerators.erase(entry);
    } else if (entry != accelerators.end()) {
        entry->control = control;
    } else {
        accelerators.push_back({key, control});
    }
    return 1;
}

// ---- focus ----

void HostWindow::setFocus(ControlHandle control, bool mark)
{
    if (!isAlive(control) || control == focusedControl)
        return;
    Control* target = controlOf(control);
    if (target->isDisabled() || !target->isVisible() || !target->isFocusable() ||
        target->kind() == KIND_CAPTION_BUTTON)
        return;
    const ControlHandle old = focusedControl;
    focusedControl = control;
    keyboardFocus = 0;
    if (isAlive(old))
        controlOf(old)->sendEvent(EV_BLUR, 0, control);
    if (mark)
        keyboardFocus = control;
    if (isAlive(control))
        target->sendEvent(EV_FOCUS, 0, old);
}
