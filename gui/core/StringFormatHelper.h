#pragma once
// Wraps one GDI+ string format. Text controls make their formats through it and usually keep the
// native handle for their whole life after releasing a helper made with owns = false.
#include <memory>
#include <optional>

#include "Gdip.h"

class StringFormatHelper {
public:
    StringFormatHelper() = default;
    StringFormatHelper(const StringFormatHelper&) = delete;
    StringFormatHelper& operator=(const StringFormatHelper&) = delete;
    virtual ~StringFormatHelper();
    // An owning helper's copy owns a clone of the format, so the two never delete one handle twice.
    virtual std::unique_ptr<StringFormatHelper> clone() const;

    virtual void destroyFormat();
    // owns defaults to true; an owning helper deletes its current format first.
    virtual bool createFormat(int flags, LANGID language, std::optional<bool> owns = std::nullopt);
    // Each accessor sets when given a value and answers the current value (0 when GDI+ fails).
    virtual int alignment(std::optional<int> value = std::nullopt);
    virtual int trimming(std::optional<int> value = std::nullopt);
    virtual int hotkeyPrefix(std::optional<int> value = std::nullopt);
    virtual int formatFlags(std::optional<int> value = std::nullopt);
    virtual GpStringFormat* nativeHandle() const { return handle_; }

    bool ownsHandle() const { return ownsHandle_; }

private:
    GpStringFormat* handle_ = nullptr;
    bool ownsHandle_ = false;
};
