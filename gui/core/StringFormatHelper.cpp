#include "StringFormatHelper.h"

StringFormatHelper::~StringFormatHelper()
{
    if (ownsHandle_)
        destroyFormat();
}

std::unique_ptr<StringFormatHelper> StringFormatHelper::clone() const
{
    auto copy = std::make_unique<StringFormatHelper>();
    copy->ownsHandle_ = ownsHandle_;
    if (ownsHandle_ && handle_) {
        GpStringFormat* cloned = nullptr;
        if (GDIP(GdipCloneStringFormat)(handle_, &cloned) == Gdiplus::Ok)
            copy->handle_ = cloned;
    } else {
        copy->handle_ = handle_;
    }
    return copy;
}

void StringFormatHelper::destroyFormat()
{
    if (handle_)
        GDIP(GdipDeleteStringFormat)(handle_);
    handle_ = nullptr;
}

bool StringFormatHelper::createFormat(int flags, LANGID language, std::optional<bool> owns)
{
    ownsHandle_ = owns.value_or(true);
    if (ownsHandle_)
        destroyFormat();
    GpStringFormat* created = nullptr;
    const bool ok = GDIP(GdipCreateStringFormat)(flags, language, &created) == Gdiplus::Ok;
    handle_ = ok ? created : nullptr;
    return ok;
}

int StringFormatHelper::alignment(std::optional<int> value)
{
    if (value) {
        GDIP(GdipSetStringFormatAlign)(handle_, static_cast<Gdiplus::StringAlignment>(*value));
        return *value;
    }
    Gdiplus::StringAlignment current{};
    return GDIP(GdipGetStringFormatAlign)(handle_, &current) == Gdiplus::Ok ? current : 0;
}

int StringFormatHelper::trimming(std::optional<int> value)
{
    if (value) {
        GDIP(GdipSetStringFormatTrimming)(handle_, static_cast<Gdiplus::StringTrimming>(*value));
        return *value;
    }
    Gdiplus::StringTrimming current{};
    return GDIP(GdipGetStringFormatTrimming)(handle_, &current) == Gdiplus::Ok ? current : 0;
}

int StringFormatHelper::hotkeyPrefix(std::optional<int> value)
{
    if (value) {
        GDIP(GdipSetStringFormatHotkeyPrefix)(handle_, *value);
        return *value;
    }
    INT current = 0;
    return GDIP(GdipGetStringFormatHotkeyPrefix)(handle_, &current) == Gdiplus::Ok ? current : 0;
}

int StringFormatHelper::formatFlags(std::optional<int> value)
{
    if (value) {
        GDIP(GdipSetStringFormatFlags)(handle_, *value);
        return *value;
    }
    INT current = 0;
    return GDIP(GdipGetStringFormatFlags)(handle_, &current) == Gdiplus::Ok ? current : 0;
}
