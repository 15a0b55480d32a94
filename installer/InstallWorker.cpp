#include "InstallWorker.h"

#include <algorithm>
#include <vector>

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
    const HANDLE written = writeArchive(zipPath, archive);
    // Unwritten, "sj.zip" may still be some other file (one held open elsewhere cannot be replaced):
    // never unpack that.
    if (written == INVALID_HANDLE_VALUE)
        return PayloadUnpacker::Result::NoArchive;
    const PayloadUnpacker::Result result = PayloadUnpacker::unpack(zipPath, folder, report);
    CloseHandle(written);  // deletes it
    return result;
}

std::optional<ULONGLONG> InstallWorker::imageFileOffset(Bytes bytes)
{
    const auto* base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (!base || bytes.empty() || bytes.data() < base || dos->e_magic != IMAGE_DOS_SIGNATURE)
        return std::nullopt;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return std::nullopt;
    const ULONGLONG start = static_cast<ULONGLONG>(bytes.data() - base);
    const ULONGLONG end = start + bytes.size();
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const ULONGLONG first = section->VirtualAddress;
        if (start >= first && end <= first + section->SizeOfRawData)
            return section->PointerToRawData + (start - first);
    }
    return std::nullopt;
}

namespace {

constexpr DWORD copyChunk = 1 << 18;

// Deleted when its last handle closes, which the system does for a process that ends in any way:
// the close button may end the installer while the archive is being unpacked. Readers must share
// deletion.
HANDLE createArchiveFile(const std::string& path)
{
    auto create = [&] {
        return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    };
    HANDLE file = create();
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        // A read-only leftover of an earlier run.
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        file = create();
    }
    return file;
}

bool writeAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// Copies the bytes that `expected` maps from `offset` of the main executable's file into `out` through one
// small buffer.
// The first and last bytes are compared with the mapped ones (two pages touched): a file changed on
// disk since it was started must not be taken for the payload.
bool copyFromImageFile(HANDLE out, ULONGLONG offset, Bytes expected)
{
    wchar_t exe[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    HANDLE in = CreateFileW(exe, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    std::vector<std::uint8_t> buffer(std::min<size_t>(copyChunk, expected.size()));
    bool ok = SetFilePointerEx(in, at, nullptr, FILE_BEGIN) != FALSE;
    for (size_t done = 0; ok && done < expected.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(expected.size() - done, buffer.size()));
        DWORD read = 0;
        ok = ReadFile(in, buffer.data(), chunk, &read, nullptr) && read == chunk;
        const size_t check = std::min<size_t>(chunk, 64);
        if (ok && done == 0)
            ok = std::equal(buffer.begin(), buffer.begin() + check, expected.begin());
        if (ok && done + chunk == expected.size())
            ok = std::equal(buffer.begin() + (chunk - check), buffer.begin() + chunk, expected.end() - check);
        ok = ok && writeAll(out, buffer.data(), chunk);
        done += chunk;
    }
    CloseHandle(in);
    return ok;
}

}  // namespace

HANDLE InstallWorker::writeArchive(const std::string& path, Bytes archive)
{
    HANDLE file = createArchiveFile(path);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    bool ok = false;
    if (const std::optional<ULONGLONG> offset = imageFileOffset(archive)) {
        ok = copyFromImageFile(file, *offset, archive);
        if (!ok) {
            // Start again from the mapped bytes.
            LARGE_INTEGER zero = {};
            SetFilePointerEx(file, zero, nullptr, FILE_BEGIN);
            SetEndOfFile(file);
        }
    }
    for (size_t offset = 0; !ok && offset < archive.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(archive.size() - offset, 1 << 20));
        if (!writeAll(file, archive.data() + offset, chunk))
            break;
        offset += chunk;
        ok = offset == archive.size();
    }
    ok = ok || archive.empty();
    if (!ok) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}
