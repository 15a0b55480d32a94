#pragma once
// The one worker thread of an installation: checks the stored payload against its recorded digest,
// makes the install folder ready, writes the payload into it as "sj.zip", unpacks it through the
// handle that wrote it and deletes it.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "Forward.h"
#include "InstallFailure.h"
#include "PayloadUnpacker.h"

class InstallLog;

class InstallWorker {
public:
    using Report = PayloadUnpacker::Progress;
    using Finished = std::function<void(InstallFailure failure)>;

    // Starts the thread. `folder` is the folder text, read on the window's thread beforehand; `report`
    // and `finished` run on the worker thread and must hand over and wait. `finished` is called last,
    // with None when every entry was unpacked. Each step goes into `log` when given.
    InstallWorker(std::string folder, Bytes archive, Bytes digest, Report report, Finished finished,
                  InstallLog* log = nullptr);
    // Waits for the thread; reports sent to this thread meanwhile still get through.
    ~InstallWorker();
    InstallWorker(const InstallWorker&) = delete;
    InstallWorker& operator=(const InstallWorker&) = delete;

    bool isFinished() const;
    // Meaningful once finished.
    InstallFailure failure() const { return failure_; }
    // The bytes of the files written so far; all of them once 100 has been reported.
    std::uint64_t bytesWritten() const { return bytesWritten_; }

    // The thread's body. The file names are appended to `folder` as it stands. Nothing is written, not
    // even the folder, unless `archive` hashes to `digest`.
    static InstallFailure extractPayload(const std::string& folder, Bytes archive, Bytes digest, const Report& report,
                                         InstallLog* log = nullptr,
                                         const PayloadUnpacker::FileWritten& written = nullptr);
    // The archive is the one recorded at build time.
    static bool isIntact(Bytes archive, Bytes digest);
    // Creates `path` with exactly `archive` and returns it open for reading: nobody else can write,
    // rename or delete it while it is open; it is deleted when the handle is closed, or when the process
    // ends however it ends. A leftover file (or a link) of that name is removed first, never written
    // through. INVALID_HANDLE_VALUE (and no file) on failure, with the last error set.
    static HANDLE writeArchive(const std::string& path, Bytes archive);

    // Seams for tests, called on the worker thread: between writing "sj.zip" and unpacking it, and after
    // each report has been handled.
    struct Hooks {
        std::function<void(const std::string& archivePath)> afterArchiveWritten;
        std::function<void(int percent)> afterReport;
    };
    static Hooks hooks;

private:
    static DWORD WINAPI threadMain(void* self);

    std::string folder_;
    Bytes archive_;
    Bytes digest_;
    Report report_;
    Finished finished_;
    InstallLog* log_;
    HANDLE thread_ = nullptr;
    std::atomic<InstallFailure> failure_{InstallFailure::None};
    std::atomic<std::uint64_t> bytesWritten_{0};
};
