#pragma once
// Folders that only administrators can change: the install folder this elevated installer makes (and
// a pre-made one at a drive's root), and the uninstaller's working copy folder. Without it a folder at
// the root of a drive inherits the drive's permissions, which let every user modify its files.
#include <windows.h>

#include <accctrl.h>

#include <string>

class FolderSecurity {
public:
    // SYSTEM and Administrators full control, Users read and execute, inherited by files and sub-folders,
    // nothing inherited from the parent.
    static constexpr const wchar_t* protectedDacl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
    // The same with Administrators as owner: what a pre-made folder is given.
    static std::wstring protectedDescriptor();

    // Creates `folder` (one level) with the protected descriptor. Fails when it exists; the last error
    // tells why.
    static bool createProtectedFolder(const std::wstring& folder);

    // Opens `folder` itself with `access`, never a folder that a link in its place leads to: fails with
    // ERROR_ACCESS_DENIED for a reparse point or a file.
    static HANDLE openFolder(const std::wstring& folder, DWORD access);

    // Someone other than SYSTEM, Administrators and TrustedInstaller may add, delete or re-permit
    // entries of the folder (an allowing entry or ownership). Needs READ_CONTROL on the handle.
    static bool isWritableByOthers(HANDLE folder);
    // The same decided on a descriptor with owner and DACL.
    static bool grantsOthersWrite(PSECURITY_DESCRIPTOR descriptor);
    // Gives the opened folder the protected descriptor and Administrators as owner. Needs READ_CONTROL,
    // WRITE_DAC and WRITE_OWNER on the handle.
    static bool protect(HANDLE folder);

    // The one call that creates folders and the one that re-permits them: tests watch what is passed.
    using CreateDirectoryFn = BOOL(WINAPI*)(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
    static CreateDirectoryFn createDirectory;
    using SetSecurityFn = DWORD(WINAPI*)(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION information,
                                         PSID owner, PSID group, PACL dacl, PACL sacl);
    static SetSecurityFn setSecurity;
};
