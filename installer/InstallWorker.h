#pragma once
// The one worker thread of an installation: writes the payload archive into the install folder as
// "sj.zip", unpacks it there and deletes it.
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>

#include "Forward.h"
#include "PayloadUnpacker.h"

class InstallWorker {
public:
    using Report = PayloadUnpacker::Progress;

    // Starts the thread. `folder` is the folder text, read on the window's thread beforehand; `report`
    // runs on the worker thread and must hand the report over and wait.
    InstallWorker(std::string folder, Bytes archive, Report report);
    // Waits for the thread; reports sent to this thread meanwhile still get through.
    ~InstallWorker();
    InstallWorker(const InstallWorker&) = delete;
    InstallWorker& operator=(const InstallWorker&) = delete;

    bool isFinished() const;
    // Meaningful once finished.
    PayloadUnpacker::Result result() const { return result_; }

    // The thread's body. The file names are appended to `folder` as it stands.
    static PayloadUnpacker::Result extractPayload(const std::string& folder, Bytes archive, const Report& report);
    // Creates or replaces `path` with exactly `archive` and returns it open: the file is deleted when
    // the handle is closed, or when the process ends however it ends; it can be opened meanwhile only
    // with FILE_SHARE_DELETE. INVALID_HANDLE_VALUE (and no file) on failure. Bytes that the loader
    // mapped from this process's executable are copied from that file rather than read through the
    // mapping, whose pages would stay in the working set.
    static HANDLE writeArchive(const std::string& path, Bytes archive);
    // Where `bytes` lie in the file of the main executable: inside one section's raw data, which the
    // loader maps unchanged. Nothing for bytes outside it.
    static std::optional<ULONGLONG> imageFileOffset(Bytes bytes);

private:
    static DWORD WINAPI threadMain(void* self);

    std::string folder_;
    Bytes archive_;
    Report report_;
    HANDLE thread_ = nullptr;
    std::atomic<PayloadUnpacker::Result> result_{PayloadUnpacker::Result::NoArchive};
};
