#include "InstallWorker.h"

#include <algorithm>

#include "InstallFolder.h"
#include "InstallLog.h"
#include "ProductTexts.h"
#include "SafeFile.h"
#include "Sha256.h"
#include "Text.h"

InstallWorker::Hooks InstallWorker::hooks;

InstallWorker::InstallWorker(std::string folder, Bytes archive, Bytes digest, Report report, Finished finished,
                             InstallLog* log)
    : folder_(std::move(folder)),
      archive_(archive),
      digest_(digest),
      report_(std::move(report)),
      finished_(std::move(finished)),
      log_(log)
{
    thread_ = CreateThread(nullptr, 0, &InstallWorker::threadMain, this, 0, nullptr);
}

InstallWorker::~InstallWorker()
{
    if (!thread_)
        return;
    // The thread may be inside SendMessage to this very thread: keep taking sent messages.
    while (MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread_);
}

bool InstallWorker::isFinished() const
{
    return !thread_ || WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0;
}

DWORD WINAPI InstallWorker::threadMain(void* self)
{
    auto* worker = static_cast<InstallWorker*>(self);
    const Report report = [worker](int percent) {
        worker->report_(percent);
        if (hooks.afterReport)
            hooks.afterReport(percent);
    };
    const PayloadUnpacker::FileWritten written = [worker](const std::wstring&, unsigned long long bytes) {
        worker->bytesWritten_ += bytes;
    };
    worker->failure_ = extractPayload(worker->folder_, worker->archive_, worker->digest_, report, worker->log_, written);
    if (worker->finished_)
        worker->finished_(worker->failure_);
    return 0;
}

namespace {

// Bytes per step over the mapped payload.
constexpr size_t passChunk = 1 << 20;

// The payload's pages, read once, are of no further use: Windows takes pages that are not locked out of
// the working set on VirtualUnlock, so the install does not keep the whole payload resident.
void releasePages(Bytes bytes)
{
    if (!bytes.empty())
        VirtualUnlock(const_cast<std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

bool InstallWorker::isIntact(Bytes archive, Bytes digest)
{
    Sha256 hash;
    for (size_t at = 0; at < archive.size(); at += passChunk) {
        const Bytes chunk = archive.subspan(at, std::min(passChunk, archive.size() - at));
        hash.update(chunk);
        releasePages(chunk);
    }
    const Sha256::Digest actual = hash.finish();
    return !archive.empty() && digest.size() == actual.size() && std::equal(actual.begin(), actual.end(), digest.begin());
}

InstallFailure InstallWorker::extractPayload(const std::string& folder, Bytes archive, Bytes digest,
                                             const Report& report, InstallLog* log,
                                             const PayloadUnpacker::FileWritten& written)
{
    InstallLog none;
    InstallLog& steps = log ? *log : none;
    // Once, from the program's mapped image: the bytes checked are the bytes written.
    if (!isIntact(archive, digest)) {
        steps.write("payload check", "damaged: the archive does not match its recorded SHA-256");
        return InstallFailure::DamagedPayload;
    }
    steps.write("payload check", "intact, " + std::to_string(archive.size()) + " bytes");
    if (const InstallFailure failure = InstallFolder::prepare(folder); failure != InstallFailure::None) {
        steps.write("install folder " + folder, "cannot be made ready", GetLastError());
        return failure;
    }
    steps.write("install folder " + folder, "ready");
    const std::string zipPath = folder + product::payloadFile;
    const HANDLE archiveFile = writeArchive(zipPath, archive);
    if (archiveFile == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        steps.write("write " + zipPath, "failed", error);
        return failureFromError(error);
    }
    steps.write("write " + zipPath, "done");
    if (hooks.afterArchiveWritten)
        hooks.afterArchiveWritten(zipPath);
    const PayloadUnpacker::FileWritten logged = [&](const std::wstring& name, unsigned long long bytes) {
        steps.write("unpack " + toAnsi(name), "written, " + std::to_string(bytes) + " bytes");
        if (written)
            written(name, bytes);
    };
    const PayloadUnpacker::Result result = PayloadUnpacker::unpack(archiveFile, folder, report, logged);
    const DWORD error = PayloadUnpacker::lastError();
    CloseHandle(archiveFile);  // deletes it
    if (result != PayloadUnpacker::Result::Complete) {
        steps.write("unpack", "stopped", error);
        return failureFromError(error);
    }
    steps.write("unpack", "complete; sj.zip deleted");
    return InstallFailure::None;
}

namespace {

// Removes whatever file or link is called `path` (a read-only one too), acting on the entry itself.
bool removeLeftover(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    FILE_BASIC_INFO basic = {};
    bool removed = GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic);
    if (removed && (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        basic.FileAttributes = (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
        basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;
        basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
        removed = SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    removed = removed && SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return removed;
}

// Only readers that share deletion may open it, and no one may write, rename or delete it.
HANDLE createArchiveFile(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

HANDLE InstallWorker::writeArchive(const std::string& path, Bytes archive)
{
    const std::wstring widePath = toWide(path);
    HANDLE file = createArchiveFile(widePath);
    if (file == INVALID_HANDLE_VALUE && (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)) {
        // A leftover of an earlier run, or something planted: it goes, whatever it is.
        if (!removeLeftover(widePath))
            return INVALID_HANDLE_VALUE;
        file = createArchiveFile(widePath);
    }
    if (file == INVALID_HANDLE_VALUE)
        return file;
    bool written = true;
    for (size_t at = 0; written && at < archive.size(); at += passChunk) {
        const Bytes chunk = archive.subspan(at, std::min(passChunk, archive.size() - at));
        written = SafeFile::writeAll(file, chunk);
        releasePages(chunk);
    }
    LARGE_INTEGER start = {};
    if (!written || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}
