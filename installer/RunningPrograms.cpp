// Sections: finding · closing
#include "RunningPrograms.h"

#include <restartmanager.h>
#include <tlhelp32.h>

#include "SystemDll.h"
#include "Text.h"

RunningPrograms::TerminateFn RunningPrograms::terminate = &TerminateProcess;

namespace {

bool samePath(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                        static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring_view fileName(std::wstring_view path)
{
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// Full and in long names, as a process's image path reads ("PROGRA~1" -> "Program Files").
std::wstring normalized(const std::wstring& path)
{
    wchar_t full[MAX_PATH * 2], longer[MAX_PATH * 2];
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    if (!length || length >= MAX_PATH * 2)
        return path;
    const DWORD longLength = GetLongPathNameW(full, longer, MAX_PATH * 2);
    return longLength && longLength < MAX_PATH * 2 ? std::wstring(longer, longLength) : std::wstring(full, length);
}

std::wstring imageOf(HANDLE process)
{
    wchar_t image[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    return QueryFullProcessImageNameW(process, 0, image, &size) ? normalized(std::wstring(image, size)) : std::wstring();
}

BOOL CALLBACK closeWindowOf(HWND window, LPARAM processId)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(processId))
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

// ---- finding ----

RunningPrograms::RunningPrograms(const std::vector<std::wstring>& images)
{
    std::vector<std::wstring> wanted;
    for (const std::wstring& image : images)
        wanted.push_back(normalized(image));
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            for (const std::wstring& image : wanted)
                if (samePath(fileName(entry.szExeFile), fileName(image))) {
                    addIfRunningOneOf(entry.th32ProcessID, wanted);
                    break;
                }
        CloseHandle(snapshot);
    }
    addRestartManagerUsers(wanted);
}

RunningPrograms::~RunningPrograms()
{
    for (const Process& process : processes_)
        CloseHandle(process.handle);
}

void RunningPrograms::addIfRunningOneOf(DWORD id, const std::vector<std::wstring>& images)
{
    if (id == GetCurrentProcessId())
        return;
    for (const Process& known : processes_)
        if (known.id == id)
            return;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
    if (!process)  // one it may not end is still one to wait for
        process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id);
    if (!process)
        return;
    const std::wstring image = imageOf(process);
    for (const std::wstring& wanted : images)
        if (!image.empty() && samePath(image, wanted)) {
            processes_.push_back({id, process, image});
            return;
        }
    CloseHandle(process);
}

void RunningPrograms::addRestartManagerUsers(const std::vector<std::wstring>& images)
{
    // Only a file that exists can be in use; a fresh installation asks nothing of the service.
    std::vector<LPCWSTR> files;
    for (const std::wstring& image : images)
        if (GetFileAttributesW(image.c_str()) != INVALID_FILE_ATTRIBUTES)
            files.push_back(image.c_str());
    if (files.empty())
        return;
    static HMODULE restartManager = loadSystemLibrary(L"rstrtmgr.dll");
    if (!restartManager)
        return;
    const auto start = reinterpret_cast<decltype(&RmStartSession)>(
        reinterpret_cast<void*>(GetProcAddress(restartManager, "RmStartSession")));
    const auto registerFiles = reinterpret_cast<decltype(&RmRegisterResources)>(
        reinterpret_cast<void*>(GetProcAddress(restartManager, "RmRegisterResources")));
    const auto list = reinterpret_cast<decltype(&RmGetList)>(reinterpret_cast<void*>(GetProcAddress(restartManager, "RmGetList")));
    const auto end = reinterpret_cast<decltype(&RmEndSession)>(
        reinterpret_cast<void*>(GetProcAddress(restartManager, "RmEndSession")));
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (!start || !registerFiles || !list || !end || start(&session, 0, key) != ERROR_SUCCESS)
        return;
    UINT needed = 0, count = 0;
    DWORD reasons = 0;
    std::vector<RM_PROCESS_INFO> users;
    if (registerFiles(session, static_cast<UINT>(files.size()), files.data(), 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
        list(session, &needed, &count, nullptr, &reasons) == ERROR_MORE_DATA && needed) {
        users.resize(needed);
        count = needed;
        if (list(session, &needed, &count, users.data(), &reasons) != ERROR_SUCCESS)
            count = 0;
    }
    end(session);
    // A user of a file is one to close only when that file is its image.
    for (UINT i = 0; i < count && i < users.size(); ++i)
        addIfRunningOneOf(users[i].Process.dwProcessId, images);
}

std::string RunningPrograms::describe() const
{
    std::string text;
    for (const Process& process : processes_) {
        if (!text.empty())
            text += ", ";
        text += toAnsi(fileName(process.image)) + " (" + std::to_string(process.id) + ")";
    }
    return text;
}

// ---- closing ----

bool RunningPrograms::close()
{
    for (const Process& process : processes_)
        EnumWindows(&closeWindowOf, static_cast<LPARAM>(process.id));
    bool allEnded = true;
    const DWORD started = GetTickCount();
    for (const Process& process : processes_) {
        const DWORD waited = GetTickCount() - started;
        if (WaitForSingleObject(process.handle, waited < closeWait ? closeWait - waited : 0) == WAIT_OBJECT_0)
            continue;
        allEnded = terminate(process.handle, 1) && WaitForSingleObject(process.handle, terminateWait) == WAIT_OBJECT_0 &&
                   allEnded;
    }
    return allEnded;
}
