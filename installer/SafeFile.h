#pragma once
// Files the elevated installer writes by name ("Uninstall.dat", shortcuts, replaced payload files):
// opened so that a link or junction planted in a file's place is refused, decided on the opened handle
// rather than by a look beforehand.
#include <windows.h>

#include <string>

#include "Forward.h"

class SafeFile {
public:
    // Opens `path` for writing all of it anew: a new file is created; an existing one is opened itself
    // (a read-only one made writable first) and emptied. Refused with ERROR_ACCESS_DENIED when what lies
    // there is a reparse point, a folder, or a file with further hard links.
    static HANDLE openForReplacing(const std::wstring& path);

    // The handle names a plain file: no reparse point, no folder, one name.
    static bool isPlainFile(HANDLE file);
    // Takes the read-only attribute off the opened file (FILE_WRITE_ATTRIBUTES needed).
    static bool clearReadOnly(HANDLE file);

    // Replaces `path` with exactly `bytes`; false with the last error set when anything fails.
    static bool write(const std::wstring& path, Bytes bytes);

    // WriteFile until all of it is written.
    static bool writeAll(HANDLE file, Bytes bytes);

    // The one query of what an opened handle names, for this class and the folder checks; tests put
    // their own in place to show reparse points where the system under test makes none.
    using FileInformationFn = BOOL(WINAPI*)(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
    static FileInformationFn fileInformation;
};
