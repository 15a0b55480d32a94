#pragma once
// "/LOG=<file>": one plain UTF-8 line per step of the installation and its result, written through
// Win32 calls as each step ends, from any thread. Without a file nothing is written anywhere.
#include <windows.h>

#include <string>
#include <string_view>

class InstallLog {
public:
    InstallLog() = default;
    ~InstallLog();
    InstallLog(const InstallLog&) = delete;
    InstallLog& operator=(const InstallLog&) = delete;

    // Creates or empties `path`; false (and nothing written later) when it cannot be made.
    bool open(const std::wstring& path);
    bool isOpen() const { return file_ != INVALID_HANDLE_VALUE; }

    // "<local time> <step>: <result>", the texts GBK (paths as the installer shows them).
    void write(std::string_view step, std::string_view result);
    // The Win32 error `error` as "(error N)" after `result`.
    void write(std::string_view step, std::string_view result, DWORD error);

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};
