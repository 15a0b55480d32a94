#include "Text.h"

#include <windows.h>

#include <cstring>

std::wstring toWide(std::string_view text, unsigned codePage)
{
    if (text.empty())
        return {};
    int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string toAnsi(std::wstring_view wide, unsigned codePage)
{
    if (wide.empty())
        return {};
    int length = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr,
                        nullptr);
    return text;
}

int compareText(const char* a, const char* b)
{
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        if (*x != *y)
            return *x < *y ? -1 : 1;
        if (*x == 0)
            return 0;
    }
}

size_t textLength(const char* text)
{
    return std::strlen(text);
}

int compareBytes(const void* a, const void* b, size_t length)
{
    int result = std::memcmp(a, b, length);
    return (result > 0) - (result < 0);
}

std::string concatTexts(std::initializer_list<std::string_view> parts)
{
    size_t total = 0;
    for (auto part : parts)
        total += part.size();
    std::string joined;
    joined.reserve(total);
    for (auto part : parts)
        joined += part;
    return joined;
}
