#pragma once
// ANSI (GBK on the target systems) <-> UTF-16, and byte-wise text helpers.
#include <initializer_list>
#include <string>
#include <string_view>

// codePage 0 is CP_ACP.
std::wstring toWide(std::string_view text, unsigned codePage = 0);
std::string toAnsi(std::wstring_view wide, unsigned codePage = 0);

// -1/0/1 by the first differing unsigned byte; NUL ends a string.
int compareText(const char* a, const char* b);
size_t textLength(const char* text);
// -1/0/1 over exactly `length` bytes.
int compareBytes(const void* a, const void* b, size_t length);
std::string concatTexts(std::initializer_list<std::string_view> parts);
