#include "FolderSecurity.h"

#include <aclapi.h>
#include <sddl.h>

#include "SafeFile.h"

FolderSecurity::CreateDirectoryFn FolderSecurity::createDirectory = &CreateDirectoryW;
FolderSecurity::SetSecurityFn FolderSecurity::setSecurity = &SetSecurityInfo;

namespace {

// What lets a holder plant, replace or remove entries, or change who may.
constexpr ACCESS_MASK writeRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                    WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

constexpr const wchar_t* trustedInstaller = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

class Descriptor {
public:
    explicit Descriptor(const std::wstring& sddl)
    {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr);
    }
    ~Descriptor()
    {
        if (descriptor_)
            LocalFree(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    PSECURITY_DESCRIPTOR get() const { return descriptor_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

bool isTrusted(PSID sid)
{
    if (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
        return true;
    PSID installer = nullptr;
    if (!ConvertStringSidToSidW(trustedInstaller, &installer))
        return false;
    const bool same = EqualSid(sid, installer) != FALSE;
    LocalFree(installer);
    return same;
}

}  // namespace

std::wstring FolderSecurity::protectedDescriptor()
{
    return std::wstring(L"O:BA") + protectedDacl;
}

bool FolderSecurity::createProtectedFolder(const std::wstring& folder)
{
    const Descriptor descriptor(protectedDacl);
    if (!descriptor.get())
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
    return createDirectory(folder.c_str(), &attributes) != FALSE;
}

HANDLE FolderSecurity::openFolder(const std::wstring& folder, DWORD access)
{
    HANDLE handle = CreateFileW(folder.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return handle;
    BY_HANDLE_FILE_INFORMATION info;
    if (!SafeFile::fileInformation(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(handle);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

bool FolderSecurity::isWritableByOthers(HANDLE folder)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return true;  // unknown: treated as the attack it may be
    const bool writable = grantsOthersWrite(descriptor);
    LocalFree(descriptor);
    return writable;
}

bool FolderSecurity::grantsOthersWrite(PSECURITY_DESCRIPTOR descriptor)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL ownerDefaulted = FALSE, present = FALSE, daclDefaulted = FALSE;
    if (!descriptor || !GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &daclDefaulted))
        return true;
    // No DACL at all grants everything to everyone; an owner may always rewrite the DACL.
    bool writable = !present || !dacl || !owner || !isTrusted(owner);
    for (DWORD i = 0; !writable && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)) || header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
            (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        writable = (ace->Mask & writeRights) && !isTrusted(&ace->SidStart);
    }
    return writable;
}

bool FolderSecurity::protect(HANDLE folder)
{
    const Descriptor descriptor(protectedDescriptor());
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL ownerDefaulted = FALSE, present = FALSE, daclDefaulted = FALSE;
    if (!descriptor.get() || !GetSecurityDescriptorOwner(descriptor.get(), &owner, &ownerDefaulted) ||
        !GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &daclDefaulted) || !present)
        return false;
    const DWORD result = setSecurity(folder, SE_FILE_OBJECT,
                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                             PROTECTED_DACL_SECURITY_INFORMATION,
                                         owner, nullptr, dacl, nullptr);
    SetLastError(result);
    return result == ERROR_SUCCESS;
}
