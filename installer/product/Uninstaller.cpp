// Sections: command line · the list · hand-over · ending the program · removal · messages
#include "Uninstaller.h"

#include <ntsecapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FolderSecurity.h"
#include "InstanceLock.h"
#include "ProductTexts.h"
#include "RunningPrograms.h"
#include "Text.h"

namespace {

constexpr const char* messageCaption = product::uninstallerCaption;
constexpr const char* confirmText =  // 您确定要完全移除 飞鲸网游加速器 及其所有组件吗？
    "\xC4\xFA\xC8\xB7\xB6\xA8\xD2\xAA\xCD\xEA\xC8\xAB\xD2\xC6\xB3\xFD \xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9"
    "\xC6\xF7 \xBC\xB0\xC6\xE4\xCB\xF9\xD3\xD0\xD7\xE9\xBC\xFE\xC2\xF0\xA3\xBF";
constexpr const char* badListText =  // 卸载信息文件 Uninstall.dat 缺失或已损坏，无法卸载 飞鲸网游加速器。
    "\xD0\xB6\xD4\xD8\xD0\xC5\xCF\xA2\xCE\xC4\xBC\xFE Uninstall.dat \xC8\xB1\xCA\xA7\xBB\xF2\xD2\xD1\xCB\xF0\xBB\xB5"
    "\xA3\xAC\xCE\xDE\xB7\xA8\xD0\xB6\xD4\xD8 \xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7\xA1\xA3";
constexpr const char* removedText =  // 飞鲸网游加速器 已成功从您的计算机中移除。
    "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7 \xD2\xD1\xB3\xC9\xB9\xA6\xB4\xD3\xC4\xFA\xB5\xC4\xBC\xC6"
    "\xCB\xE3\xBB\xFA\xD6\xD0\xD2\xC6\xB3\xFD\xA1\xA3";
constexpr const char* incompleteText =  // 飞鲸网游加速器 已卸载，但以下文件夹中仍有文件未能删除：
    "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7 \xD2\xD1\xD0\xB6\xD4\xD8\xA3\xAC\xB5\xAB\xD2\xD4\xCF\xC2"
    "\xCE\xC4\xBC\xFE\xBC\xD0\xD6\xD0\xC8\xD4\xD3\xD0\xCE\xC4\xBC\xFE\xCE\xB4\xC4\xDC\xC9\xBE\xB3\xFD\xA3\xBA";
constexpr const char* uninstallShortcutName = "\xD0\xB6\xD4\xD8";  // 卸载

// How long the working copy waits for the lock its first uninstaller hands over, and for the first one's
// file to be free after its end.
constexpr DWORD copyLockWait = 30000;
constexpr DWORD imageReleaseWait = 3000;
constexpr DWORD imageReleaseStep = 50;

HANDLE handleFrom(std::string_view digits)
{
    return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(std::strtoull(std::string(digits).c_str(), nullptr, 10)));
}

// One DWORD through the copy's outcome pipe.
bool readWord(HANDLE pipe, DWORD& word)
{
    DWORD read = 0;
    return ReadFile(pipe, &word, sizeof word, &read, nullptr) && read == sizeof word;
}

void writeWord(HANDLE pipe, DWORD word)
{
    DWORD written = 0;
    WriteFile(pipe, &word, sizeof word, &written, nullptr);
}

bool endsWithSeparator(std::string_view text)
{
    bool last = false;
    for (size_t i = 0; i < text.size(); ++i) {
        last = text[i] == '\\';
        if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size())
            ++i;
    }
    return last;
}

std::string withSeparator(std::string text)
{
    if (!text.empty() && !endsWithSeparator(text))
        text += '\\';
    return text;
}

std::string fullPath(const std::string& path)
{
    char buffer[MAX_PATH * 2];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    return length && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

bool samePath(const std::string& a, const std::string& b)
{
    const std::string x = fullPath(a), y = fullPath(b);
    return !x.empty() && lstrcmpiA(x.c_str(), y.c_str()) == 0;
}

std::string ownPath()
{
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return length && length < sizeof path ? std::string(path, length) : std::string();
}

// The part after the last "\" (GBK-aware), or the whole text.
std::string_view lastComponent(std::string_view path)
{
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\')
            start = i + 1;
        else if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size())
            ++i;
    }
    return path.substr(start);
}

// "X:\..." or "\\server\...", with no "." or ".." component and no "/".
bool isPlainAbsolutePath(std::string_view path)
{
    const bool drive = path.size() > 3 && path[1] == ':' && path[2] == '\\' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    const bool unc = path.size() > 2 && path.substr(0, 2) == "\\\\";
    if (!(drive || unc) || path.find('/') != std::string_view::npos)
        return false;
    const std::string padded = std::string(path) + "\\";
    return padded.find("\\.\\") == std::string::npos && padded.find("\\..\\") == std::string::npos;
}

bool removeFile(const std::string& path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool removeFolderIfEmpty(const std::string& folder)
{
    return RemoveDirectoryA(folder.c_str()) || GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::string registryString(HKEY key, const char* name)
{
    char data[MAX_PATH * 2] = {};
    DWORD size = sizeof data - 1, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return std::string(data, strnlen(data, size));
}

// The entry belongs to this installation unless it names another folder's uninstaller.
void removeRegistryEntry(const std::string& folder)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, product::uninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    const std::string uninstaller = registryString(key, "UninstallString");
    RegCloseKey(key);
    if (!uninstaller.empty() && !samePath(uninstaller, withSeparator(folder) + product::uninstallerFile))
        return;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, product::uninstallKey);
}

constexpr int workingFolderAttempts = 16;

std::wstring randomName()
{
    std::uint8_t bytes[8] = {};
    RtlGenRandom(bytes, sizeof bytes);
    std::wstring name = L"fju-";
    for (std::uint8_t byte : bytes) {
        name += L"0123456789abcdef"[byte >> 4];
        name += L"0123456789abcdef"[byte & 15];
    }
    return name;
}

// Holds a file or folder open so that nobody can write, rename or delete it meanwhile.
HANDLE holdUnchanged(const std::wstring& path, bool folder)
{
    return CreateFileW(path.c_str(), folder ? FILE_LIST_DIRECTORY : GENERIC_READ, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : 0), nullptr);
}

}  // namespace

std::string Uninstaller::makeWorkingFolder(HANDLE* held)
{
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (!length || length >= MAX_PATH)
        return {};
    for (int attempt = 0; attempt < workingFolderAttempts; ++attempt) {
        const std::wstring folder = temp + randomName();
        // Fails when the name exists: nothing made beforehand by someone else is ever used.
        if (!FolderSecurity::createProtectedFolder(folder)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return {};
        }
        if (held)
            *held = holdUnchanged(folder, true);
        return withSeparator(toAnsi(folder));
    }
    return {};
}

Uninstaller::Options Uninstaller::parseCommandLine(std::string_view commandLine)
{
    // Skip the program name, quoted or not.
    size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        at = commandLine.find('"', 1);
        at = at == std::string_view::npos ? commandLine.size() : at + 1;
    } else {
        at = commandLine.find_first_of(" \t");
        at = at == std::string_view::npos ? commandLine.size() : at;
    }
    Options options;
    while (at < commandLine.size()) {
        while (at < commandLine.size() && (commandLine[at] == ' ' || commandLine[at] == '\t'))
            ++at;
        const std::string_view rest = commandLine.substr(at);
        if (rest.substr(0, 3) == "/D=" || rest.substr(0, 3) == "/d=") {
            // The folder may hold spaces: it takes the rest of the line.
            options.folder = std::string(rest.substr(3));
            while (!options.folder.empty() && (options.folder.back() == ' ' || options.folder.back() == '\t'))
                options.folder.pop_back();
            break;
        }
        const size_t end = std::min(rest.find_first_of(" \t"), rest.size());
        const std::string_view word = rest.substr(0, end);
        if (word == "/S" || word == "/s")
            options.silent = true;
        else if (word.substr(0, 3) == "/P=" || word.substr(0, 3) == "/p=")
            options.waitFor = handleFrom(word.substr(3));
        else if (word.substr(0, 3) == "/R=" || word.substr(0, 3) == "/r=")
            options.reportTo = handleFrom(word.substr(3));
        at += end;
    }
    return options;
}

int Uninstaller::run(const Options& options, InstanceLock& lock)
{
    if (!options.folder.empty())
        return removeAsCopy(options, lock);
    const std::string self = ownPath();
    const std::string folder = self.substr(0, self.size() - lastComponent(self).size());
    if (!readList(folder)) {
        if (!options.silent)
            message(badListText, MB_OK | MB_ICONERROR);
        return BadList;
    }
    if (!options.silent && MessageBoxA(nullptr, confirmText, messageCaption, MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL) != IDYES)
        return Cancelled;
    return handOver(folder, options.silent, lock);
}

std::optional<UninstallList> Uninstaller::readList(const std::string& folder)
{
    const std::string path = withSeparator(folder) + product::uninstallListFile;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    // Four paths: anything much longer is not ours.
    char buffer[8192];
    DWORD read = 0;
    const bool ok = ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read < sizeof buffer;
    CloseHandle(file);
    if (!ok)
        return std::nullopt;
    std::optional<UninstallList> list = UninstallList::parse(std::string_view(buffer, read));
    if (!list || !isValidFor(*list, folder))
        return std::nullopt;
    return list;
}

bool Uninstaller::isValidFor(const UninstallList& list, const std::string& folder)
{
    if (!isPlainAbsolutePath(list.installFolder) || !samePath(withSeparator(list.installFolder), withSeparator(folder)))
        return false;
    if (!list.programGroup.empty() &&
        (!isPlainAbsolutePath(list.programGroup) || lastComponent(list.programGroup) != product::name))
        return false;
    if (!list.desktopShortcut.empty() &&
        (!isPlainAbsolutePath(list.desktopShortcut) || lastComponent(list.desktopShortcut) != product::desktopShortcut))
        return false;
    const std::string_view program = list.program;
    return program.size() > 4 && program.find_first_of("\\/:") == std::string_view::npos &&
           lstrcmpiA(std::string(program.substr(program.size() - 4)).c_str(), ".exe") == 0;
}

int Uninstaller::handOver(const std::string& folder, bool silent, InstanceLock& lock)
{
    const std::string self = ownPath();
    // Only administrators can change the copy's folder, and until the copy runs nobody can rename the
    // folder or touch the copy: the elevated copy starts what was copied.
    HANDLE heldFolder = INVALID_HANDLE_VALUE, heldCopy = INVALID_HANDLE_VALUE;
    const std::string temporary = makeWorkingFolder(&heldFolder);
    const std::string copy = temporary + product::uninstallerFile;
    const bool copied = !temporary.empty() && CopyFileA(self.c_str(), copy.c_str(), TRUE) &&
                        (heldCopy = holdUnchanged(toWide(copy), false)) != INVALID_HANDLE_VALUE;
    auto release = [&] {
        for (HANDLE held : {heldFolder, heldCopy})
            if (held != INVALID_HANDLE_VALUE)
                CloseHandle(held);
        heldFolder = heldCopy = INVALID_HANDLE_VALUE;
    };
    if (!copied) {
        release();
        if (!temporary.empty()) {
            DeleteFileA(copy.c_str());
            RemoveDirectoryA(temporary.c_str());
        }
        // No copy: remove what can go; this program and the folder go at the next restart.
        const std::optional<UninstallList> list = readList(folder);
        const bool removed = list && removeProduct(*list);
        MoveFileExA(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        return removed ? Removed : Incomplete;
    }
    HANDLE me = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me, SYNCHRONIZE, TRUE, 0);
    // Silent: the copy's outcome comes back through a pipe, and this process ends with it.
    HANDLE outcome = nullptr, copyOutcome = nullptr;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    if (silent && CreatePipe(&outcome, &copyOutcome, &inherited, 0))
        SetHandleInformation(outcome, HANDLE_FLAG_INHERIT, 0);
    std::string commandLine = "\"" + copy + "\"";
    if (silent)
        commandLine += " /S";
    commandLine += " /P=" + std::to_string(reinterpret_cast<UINT_PTR>(me));
    if (copyOutcome)
        commandLine += " /R=" + std::to_string(reinterpret_cast<UINT_PTR>(copyOutcome));
    commandLine += " /D=" + withSeparator(folder);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // Started in the temporary folder: a current folder inside the install folder would keep it.
    const bool started = CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        temporary.c_str(), &startup, &process);
    release();
    for (HANDLE handle : {me, copyOutcome})
        if (handle)
            CloseHandle(handle);
    if (!started) {
        if (outcome)
            CloseHandle(outcome);
        DeleteFileA(copy.c_str());
        RemoveDirectoryA(temporary.c_str());
        return Incomplete;
    }
    CloseHandle(process.hThread);
    if (!outcome) {
        CloseHandle(process.hProcess);
        return Removed;
    }
    return awaitCopy(process.hProcess, outcome, lock);
}

int Uninstaller::awaitCopy(HANDLE copy, HANDLE outcome, InstanceLock& lock)
{
    DWORD code = Incomplete, taken = 0;
    if (readWord(outcome, code)) {
        // The copy goes on to remove this program's file once it has ended, under the lock: handed over
        // before this process ends, so that no installer can start in between.
        lock.release();
        readWord(outcome, taken);
    } else if (WaitForSingleObject(copy, INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(copy, &code)) {
        code = Incomplete;  // ended without a word, it gives its own exit code
    }
    CloseHandle(outcome);
    CloseHandle(copy);
    return static_cast<int>(code);
}

int Uninstaller::removeAsCopy(const Options& options, InstanceLock& lock)
{
    // A first uninstaller that waits for the outcome holds the lock for this copy until it has it; only
    // its own file must wait for its end. Any other waits for it first.
    const bool reports = options.reportTo != nullptr;
    auto outliveFirst = [&] {
        if (options.waitFor) {
            WaitForSingleObject(options.waitFor, INFINITE);
            CloseHandle(options.waitFor);
        }
    };
    if (!reports)
        outliveFirst();
    const std::optional<UninstallList> list = readList(options.folder);
    int code = BadList;
    if (!list) {
        if (!options.silent)
            message(badListText, MB_OK | MB_ICONERROR);
    } else {
        code = removeProduct(*list, Installed{}, reports ? OwnFile::Keep : OwnFile::Remove) ? Removed : Incomplete;
        if (!options.silent)
            message(code == Removed ? std::string(removedText) : incompleteText + ("\r\n" + list->installFolder),
                    MB_OK | (code == Removed ? MB_ICONINFORMATION : MB_ICONWARNING));
    }
    if (reports) {
        writeWord(options.reportTo, static_cast<DWORD>(code));
        lock.acquire(copyLockWait);
        writeWord(options.reportTo, 1);
        CloseHandle(options.reportTo);
        outliveFirst();
        if (list && code == Removed)
            removeUninstaller(*list);
    }
    // This copy and its folder, once nothing runs from them.
    const std::string self = ownPath();
    const std::string temporary = self.substr(0, self.size() - lastComponent(self).size());
    MoveFileExA(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(temporary.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return code;
}

void Uninstaller::endProgram(const std::string& programPath)
{
    RunningPrograms(std::vector{toWide(programPath)}).close();
}

bool Uninstaller::removeProduct(const UninstallList& list, const Installed& installed, OwnFile ownFile)
{
    const std::string folder = withSeparator(list.installFolder);
    endProgram(folder + list.program);
    bool filesRemoved = removeFile(folder + list.program);
    for (const char* file : installed.files)
        if (lstrcmpiA(file, product::uninstallerFile) != 0)
            filesRemoved = removeFile(folder + file) && filesRemoved;
    // A file still in use: keep the uninstaller, its list and its entry so that it can be run again.
    if (!filesRemoved)
        return false;
    // One the user keeps files in stays, as the install folder does.
    for (const char* subFolder : installed.folders)
        RemoveDirectoryA((folder + subFolder).c_str());
    removeFile(folder + product::payloadFile);
    bool complete = ownFile == OwnFile::Keep || removeFile(folder + product::uninstallerFile);
    complete = removeFile(folder + product::uninstallListFile) && complete;
    if (!list.programGroup.empty()) {
        const std::string& group = list.programGroup;
        complete = removeFile(group + "\\" + product::name + product::shortcutSuffix) && complete;
        complete = removeFile(group + "\\" + uninstallShortcutName + product::name + product::shortcutSuffix) && complete;
        complete = removeFolderIfEmpty(group) && complete;
        complete = removeFile(group + product::shortcutSuffix) && complete;
    }
    if (!list.desktopShortcut.empty())
        complete = removeFile(list.desktopShortcut) && complete;
    removeRegistryEntry(folder);
    // Whatever the user keeps there keeps the folder too; that is no failure.
    if (ownFile == OwnFile::Remove)
        RemoveDirectoryA(list.installFolder.c_str());
    return complete;
}

bool Uninstaller::removeUninstaller(const UninstallList& list)
{
    const std::string file = withSeparator(list.installFolder) + product::uninstallerFile;
    // An ended process's image is released a moment after the process is gone.
    bool removed = removeFile(file);
    for (DWORD waited = 0; !removed && waited < imageReleaseWait; waited += imageReleaseStep) {
        Sleep(imageReleaseStep);
        removed = removeFile(file);
    }
    if (!removed)
        MoveFileExA(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    RemoveDirectoryA(list.installFolder.c_str());
    return removed;
}

void Uninstaller::message(const std::string& text, UINT flags)
{
    MessageBoxA(nullptr, text.c_str(), messageCaption, flags | MB_TASKMODAL);
}
