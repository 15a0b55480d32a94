#pragma once
// The one worker thread of an installation: writes the payload archive into the install folder as
// "sj.zip", unpacks it there and deletes it.
#include <windows.h>

#include <atomic>
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
    // Creates or replaces `path` with exactly `archive`.
    static bool writeArchive(const std::string& path, Bytes archive);

private:
    static DWORD WINAPI threadMain(void* self);

    std::string folder_;
    Bytes archive_;
    Report report_;
    HANDLE thread_ = nullptr;
    std::atomic<PayloadUnpacker::Result> result_{PayloadUnpacker::Result::NoArchive};
};
