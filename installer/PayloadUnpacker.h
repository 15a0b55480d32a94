#pragma once
// The installer's unzip component: unpacks a ZIP archive into a folder under the entries' stored
// names and reports progress after each entry.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

class PayloadUnpacker {
public:
    // Called after each entry with trunc(index / count * 100), then with 100 after the last one.
    using Progress = std::function<void(int percent)>;
    // Called after each file has been written and checked, with its stored name (UTF-16) and length.
    using FileWritten = std::function<void(const std::wstring& name, unsigned long long bytes)>;

    enum class Result {
        Complete,   // every entry was read to its end and checked; 100 was reported
        NoArchive,  // the archive could not be opened; nothing was reported
        Failed,     // an entry could not be read, checked or written; unpacking stopped there
    };

    // GBK paths. Existing files are given normal attributes and replaced, folders are made as needed.
    // An entry that replaces a file is inflated into a temporary file beside its target and replaces it
    // only after its length and CRC have checked out; a new file that fails the check is deleted. So a
    // damaged archive never leaves a damaged file behind, nor costs an existing one.
    // An entry whose name would reach outside `folder` (absolute, drive or UNC prefix, a ".."
    // component, a device name) is skipped but still counted.
    static Result unpack(const std::string& archivePath, const std::string& folder, const Progress& progress,
                         const FileWritten& written = nullptr);
    // The same from an open archive, read through `archive` alone (from its start; the handle stays the
    // caller's): whatever the file's name comes to lead to meanwhile, this is what is unpacked.
    static Result unpack(HANDLE archive, const std::string& folder, const Progress& progress,
                         const FileWritten& written = nullptr);
    // The Win32 error behind the last result other than Complete on this thread; ERROR_CRC when the
    // archive itself is damaged.
    static DWORD lastError();

    // The name (as stored, "/" or "\" separated) stays inside the folder it is unpacked into.
    static bool isSafeEntryName(std::wstring_view name);
};
