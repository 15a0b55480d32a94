#include "InstallLog.h"

#include "Text.h"

InstallLog::~InstallLog()
{
    if (isOpen())
        CloseHandle(file_);
}

bool InstallLog::open(const std::wstring& path)
{
    if (isOpen())
        CloseHandle(file_);
    // Appending only: each line is one write, whole, whichever thread writes it.
    file_ = CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    return isOpen();
}

void InstallLog::write(std::string_view step, std::string_view result)
{
    if (!isOpen())
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
              now.wSecond, now.wMilliseconds);
    std::string line = stamp;
    line += toAnsi(toWide(step), CP_UTF8);
    line += ": ";
    line += toAnsi(toWide(result), CP_UTF8);
    line += "\r\n";
    DWORD written = 0;
    WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void InstallLog::write(std::string_view step, std::string_view result, DWORD error)
{
    write(step, std::string(result) + " (error " + std::to_string(error) + ")");
}
