#include "InstallerTestSupport.h"

#include <zip.h>

#include <gtest/gtest.h>

#include "InstallFolder.h"
#include "ProductRegistration.h"
#include "ProductTexts.h"
#include "ProgramLauncher.h"
#include "Resources.h"
#include "RunningPrograms.h"
#include "Text.h"

namespace testing_support {

namespace {

LRESULT CALLBACK probeWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    char mode[16] = {};
    GetEnvironmentVariableA(probeVariable, mode, sizeof mode);
    if (message == WM_CLOSE && std::string(mode) == "linger")
        ExitProcess(0);
    return message == WM_CLOSE ? 0 : DefWindowProcA(hwnd, message, wParam, lParam);
}

// Runs before main: a probe never reaches the tests.
[[maybe_unused]] const bool isProbe = [] {
    // Read wide: Wine cuts a GBK value read through the ANSI call to its length in characters.
    wchar_t mode[1024];
    const DWORD length = GetEnvironmentVariableW(L"FEIJING_PROBE", mode, 1024);
    std::string request = length < 1024 ? toAnsi(std::wstring_view(mode, length)) : std::string();
    // A copy started by another process (the desktop shell) finds its request beside itself.
    if (request.empty())
        request = readFile(thisProgram() + ".probe").value_or("");
    if (request.rfind("record:", 0) == 0) {
        char current[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, current);
        writeFile(request.substr(7), thisProgram() + "\n" + current);
        ExitProcess(0);
    }
    if (request.rfind("hold:", 0) == 0) {
        // Holds the file open with no sharing until ended.
        if (CreateFileA(request.substr(5).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) ==
            INVALID_HANDLE_VALUE)
            ExitProcess(1);
        Sleep(INFINITE);
    }
    if (request == "linger" || request == "stubborn") {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = probeWindowProc;
        wc.lpszClassName = "FeijingProbe";
        RegisterClassA(&wc);
        CreateWindowExA(0, wc.lpszClassName, "probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        ExitProcess(0);
    }
    return false;
}();

BOOL CALLBACK collectStaticText(HWND child, LPARAM texts)
{
    char className[16] = {}, text[1024] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0 && GetWindowTextA(child, text, sizeof text))
        reinterpret_cast<std::vector<std::string>*>(texts)->push_back(text);
    return TRUE;
}

}  // namespace

TempFolder::TempFolder(const std::string& stem)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    for (unsigned n = GetTickCount() % 100000;; ++n) {
        const std::string candidate = std::string(temp) + stem + std::to_string(n);
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path_ = candidate + "\\";
            return;
        }
    }
}

void TempFolder::removeTree(const std::string& path)
{
    const std::string folder = path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        const std::string name = found.cFileName, child = folder + "\\" + name;
        if (name == "." || name == "..")
            continue;
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            removeTree(child);
        else
            DeleteFileA(child.c_str());
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    RemoveDirectoryA(folder.c_str());
}

bool pathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> readFile(const std::string& path)
{
    // Sharing everything: the installer holds "sj.zip" open for deletion while it unpacks it.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    const bool ok = bytes.empty() || ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return ok && read == bytes.size() ? std::optional(bytes) : std::nullopt;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    (bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return ok && written == bytes.size();
}

bool makeZip(const std::string& path, const std::vector<ZipSource>& entries)
{
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    bool ok = zip != nullptr;
    for (const ZipSource& entry : entries) {
        zip_fileinfo info = {};
        const int raw = entry.wrongCrc ? 1 : 0;
        ok = ok && zipOpenNewFileInZip4_64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                           raw ? 0 : Z_DEFLATED, raw ? 0 : 9, raw, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                                           nullptr, 0, 0, entry.utf8Name ? 1u << 11 : 0, 0) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zip, entry.data.data(), static_cast<unsigned>(entry.data.size())) == ZIP_OK;
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size()));
        ok = ok && (raw ? zipCloseFileInZipRaw64(zip, entry.data.size(), crc ^ 0x5A5A5A5A) : zipCloseFileInZip(zip)) == ZIP_OK;
    }
    return zip && zipClose(zip, nullptr) == ZIP_OK && ok;
}

bool pumpUntil(const std::function<bool()>& done, DWORD guardMs)
{
    for (const DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > guardMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

DialogWatcher::DialogWatcher(std::string caption, int button) : caption_(std::move(caption)), button_(button)
{
    thread_ = CreateThread(nullptr, 0, &DialogWatcher::watch, this, 0, nullptr);
}

DialogWatcher::~DialogWatcher()
{
    InterlockedExchange(&stop_, 1);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
}

bool DialogWatcher::waitAnswered(DWORD guardMs)
{
    return pumpUntil([this] { return answered(); }, guardMs);
}

DWORD WINAPI DialogWatcher::watch(void* self)
{
    auto* watcher = static_cast<DialogWatcher*>(self);
    while (!watcher->stop_ && !watcher->answered_) {
        HWND dialog = FindWindowA("#32770", watcher->caption_.empty() ? nullptr : watcher->caption_.c_str());
        if (dialog && IsWindowVisible(dialog)) {
            EnumChildWindows(dialog, &collectStaticText, reinterpret_cast<LPARAM>(&watcher->texts));
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(watcher->button_, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, watcher->button_)));
            while (IsWindow(dialog) && IsWindowVisible(dialog) && !watcher->stop_)
                Sleep(20);
            InterlockedExchange(&watcher->answered_, 1);
        }
        Sleep(30);
    }
    return 0;
}

std::string thisProgram()
{
    char path[MAX_PATH * 2];
    return std::string(path, GetModuleFileNameA(nullptr, path, sizeof path));
}

PROCESS_INFORMATION startProbe(const std::string& exe, const std::string& mode)
{
    SetEnvironmentVariableA(probeVariable, mode.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + exe + "\"";
    CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableA(probeVariable, nullptr);
    return process;
}

std::vector<std::uint8_t> pictureBytes(const char* name)
{
    const Bytes bytes = picture(name);
    return {bytes.begin(), bytes.end()};
}

FakeElements::Properties& FakeElements::at(InstallerElement element)
{
    if (GetCurrentThreadId() != thread_)
        ++otherThreadCalls;
    return SilentElements::at(element);
}

std::string FakeElements::text(InstallerElement element, std::optional<std::string> value)
{
    if (value && element == InstallerElement::StatusText)
        statusTexts.push_back(*value);
    return SilentElements::text(element, std::move(value));
}

int FakeElements::progressPosition(std::optional<int> value)
{
    if (value)
        positions.push_back(*value);
    return SilentElements::progressPosition(value);
}

bool hasEntry()
{
    HKEY key;
    const bool open = RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (open)
        RegCloseKey(key);
    return open;
}

std::optional<std::string> entryValue(const char* name)
{
    char data[MAX_PATH] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, product::uninstallKey, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(data);
}

std::vector<UINT> Installation::exitCodes;
std::atomic<int> Installation::exits{0};

Installation::Installation(RunMode mode, InstallLog* log) : procedure(elements, mode, log)
{
    exitCodes.clear();
    exits = 0;
    elements.onInterrupted = [this] { procedure.interrupt(); };  // as the silent installer process does
    InstallProcedure::exitProcess = [](UINT code) WINAPI {
        exitCodes.push_back(code);
        ++exits;
    };
}

Installation::~Installation()
{
    InstallProcedure::exitProcess = &ExitProcess;
    ProgramLauncher::throughShell = &ProgramLauncher::startThroughDesktopShell;
    ProgramLauncher::directly = &ProgramLauncher::startDirectly;
    RunningPrograms::terminate = &TerminateProcess;
    InstallFolder::diskFreeSpace = &GetDiskFreeSpaceExW;
    ProductRegistration::runsAsSystem = &ProductRegistration::isRunningAsSystem;
}

void Installation::install(const std::string& folder)
{
    elements.elements[InstallerElement::FolderEdit].text = folder;
    tick();
    procedure.onInstallClicked();
    ASSERT_TRUE(procedure.hasStartedWorker());
    ASSERT_TRUE(pumpUntil([&] { return procedure.isWorkerFinished(); }));
    pumpUntil([&] { return procedure.isComplete() || procedure.failure() != InstallFailure::None; }, 5000);
}

std::optional<UINT> Installation::installSilently(const std::string& folder)
{
    procedure.presetFolder(folder);
    procedure.installSilently();
    pumpUntil([&] { return !exitCodes.empty(); });
    // A worker still running goes on to its end meanwhile, as it would not in a process that has ended.
    pumpUntil([&] { return !procedure.hasStartedWorker() || procedure.isWorkerFinished(); });
    return exitCodes.empty() ? std::nullopt : std::optional(exitCodes.front());
}

void Installation::removeTraces()
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
    const std::string programs = ProductRegistration::programsFolder();
    for (const auto& link : ProductRegistration::shortcuts(programs, ProductRegistration::desktopFolder(), "",
                                                           product::name))
        DeleteFileA(link.link.c_str());
    RemoveDirectoryA((programs + product::name).c_str());
}

}  // namespace testing_support
