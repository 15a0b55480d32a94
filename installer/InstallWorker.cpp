#include "InstallWorker.h"

#include <algorithm>

#include "ProductTexts.h"

InstallWorker::InstallWorker(std::string folder, Bytes archive, Report report)
    : folder_(std::move(folder)), archive_(archive), report_(std::move(report))
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
    worker->result_ = extractPayload(worker->folder_, worker->archive_, worker->report_);
    return 0;
}

PayloadUnpacker::Result InstallWorker::extractPayload(const std::string& folder, Bytes archive, const Report& report)
{
    const std::string zipPath = folder + product::payloadFile;
    writeArchive(zipPath, archive);
    const PayloadUnpacker::Result result = PayloadUnpacker::unpack(zipPath, folder, report);
    DeleteFileA(zipPath.c_str());
    return result;
}

bool InstallWorker::writeArchive(const std::string& path, Bytes archive)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        // A read-only leftover of an earlier run.
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    size_t offset = 0;
    while (ok && offset < archive.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(archive.size() - offset, 1 << 20));
        DWORD written = 0;
        ok = WriteFile(file, archive.data() + offset, chunk, &written, nullptr) && written == chunk;
        offset += chunk;
    }
    CloseHandle(file);
    if (!ok)
        DeleteFileA(path.c_str());
    return ok;
}
