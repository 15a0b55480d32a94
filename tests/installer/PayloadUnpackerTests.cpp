#include <gtest/gtest.h>

#include <cstring>

#include "InstallerTestSupport.h"
#include "PayloadContents.h"
#include "PayloadUnpacker.h"
#include "InstallWorker.h"
#include "Sha256.h"
#include "ProductFiles.h"
#include "Resources.h"

using namespace testing_support;

namespace {

std::vector<int> unpackRecording(const std::string& archive, const std::string& folder, PayloadUnpacker::Result* result)
{
    std::vector<int> reports;
    *result = PayloadUnpacker::unpack(archive, folder, [&](int percent) { reports.push_back(percent); });
    return reports;
}

std::vector<std::string> folderContents(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            names.push_back(found.cFileName);
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Every file and folder below `folder`, as "\"-separated paths relative to it.
void collectTree(const std::string& folder, const std::string& prefix, std::vector<std::string>& files,
                 std::vector<std::string>& folders)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + prefix + "*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            folders.push_back(prefix + name);
            collectTree(folder, prefix + name + "\\", files, folders);
        } else {
            files.push_back(prefix + name);
        }
    }
    FindClose(search);
}

template <typename Names>
std::vector<std::string> sorted(const Names& names)
{
    std::vector<std::string> list(std::begin(names), std::end(names));
    std::sort(list.begin(), list.end());
    return list;
}

// `text` holds exactly `bytes` from `offset` on (std::string's char is signed: compare as bytes).
bool holdsBytesAt(const std::string& text, size_t offset, Bytes bytes)
{
    return offset + bytes.size() <= text.size() &&
           std::memcmp(text.data() + offset, bytes.data(), bytes.size()) == 0;
}

}  // namespace

TEST(PayloadUnpacker, EntryNamesReachingOutsideTheFolderAreSkippedButCounted)
{
    TempFolder outer;
    const std::string folder = outer / "inner\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::vector<ZipSource> entries = {
        {"../up1.txt", "x"},      {"..\\up2.txt", "x"},  {"sub/../../up3.txt", "x"}, {"C:up4.txt", "x"},
        {"C:\\up5.txt", "x"},     {"\\\\srv\\s\\up6", "x"}, {"/up7.txt", "x"},       {"\\up8.txt", "x"},
        {".. /up9.txt", "x"},     {"NUL.txt", "x"},     {"ok.txt", "fine"},          {"sub/dir/nested.txt", "deep"},
        {"empty/", ""},
    };
    ASSERT_TRUE(makeZip(outer / "names.zip", entries));
    PayloadUnpacker::Result result;
    const std::vector<int> reports = unpackRecording(outer / "names.zip", folder, &result);

    EXPECT_EQ(result, PayloadUnpacker::Result::Complete);
    EXPECT_EQ(reports.size(), entries.size() + 1);
    EXPECT_EQ(folderContents(outer.path()), (std::vector<std::string>{"inner", "names.zip"}));
    EXPECT_EQ(folderContents(folder), (std::vector<std::string>{"empty", "ok.txt", "sub"}));
    EXPECT_EQ(readFile(folder + "sub\\dir\\nested.txt"), "deep");
    EXPECT_FALSE(pathExists("C:\\up5.txt"));

    // What the checks before writing count is what was written: the same files, named and sized alike.
    const std::string bytes = readFile(outer / "names.zip").value_or("");
    const std::optional<PayloadContents> contents =
        PayloadContents::read(Bytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(contents);
    std::vector<std::pair<std::wstring, std::uint64_t>> listed, written;
    for (const PayloadContents::File& file : contents->files)
        listed.emplace_back(file.name, file.size);
    TempFolder again;
    PayloadUnpacker::unpack(outer / "names.zip", again.path(), nullptr,
                            [&](const std::wstring& name, unsigned long long size) { written.emplace_back(name, size); });
    EXPECT_EQ(listed, (std::vector<std::pair<std::wstring, std::uint64_t>>{{L"ok.txt", 4}, {L"sub\\dir\\nested.txt", 4}}));
    EXPECT_EQ(written, listed);
    EXPECT_FALSE(PayloadContents::read(Bytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() / 2)));
}

TEST(PayloadUnpacker, SafeNameTable)
{
    const struct {
        const wchar_t* name;
        bool safe;
    } cases[] = {
        {L"fj.exe", true},       {L"a/b/c.dll", true},   {L"a\\b\\", true},       {L"..a/b..", true},
        {L"./x.y.z", true},      {L"..", false},         {L"a/../b", false},      {L"a\\..\\b", false},
        {L"...\\b", false},      {L". .\\b", false},     {L"D:x", false},         {L"a:stream", false},
        {L"\\\\?\\C:\\x", false}, {L"/x", false},        {L"a//b", false},        {L"con", false},
        {L"lpt1.log", false},    {L"com10", true},       {L"a\tb", false},        {L"", false},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(PayloadUnpacker::isSafeEntryName(cases[i].name), cases[i].safe) << i;
}

TEST(PayloadUnpacker, CrcMismatchStopsUnpackingAndKeepsTheOldFile)
{
    TempFolder folder;
    ASSERT_TRUE(writeFile(folder / "b.txt", "old contents"));
    ASSERT_TRUE(makeZip(folder / "bad.zip", {{"a.txt", "first"}, {"b.txt", "second", false, true}, {"c.txt", "third"}}));
    PayloadUnpacker::Result result;
    const std::vector<int> reports = unpackRecording(folder / "bad.zip", folder.path(), &result);

    EXPECT_EQ(result, PayloadUnpacker::Result::Failed);
    EXPECT_EQ(reports, std::vector<int>{0});
    EXPECT_EQ(readFile(folder / "b.txt"), "old contents");
    EXPECT_FALSE(pathExists(folder / "c.txt"));
    EXPECT_EQ(folderContents(folder.path()), (std::vector<std::string>{"a.txt", "b.txt", "bad.zip"}));
}

TEST(PayloadUnpacker, ReadOnlyFileIsReplacedAndUtf8NameDecoded)
{
    TempFolder folder;
    ASSERT_TRUE(writeFile(folder / "fj.exe", "stale"));
    SetFileAttributesA((folder / "fj.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(makeZip(folder / "a.zip", {{"fj.exe", "fresh"}, {"\xE9\xA3\x9E.txt", "utf8", true}}));  // 飞 in UTF-8
    PayloadUnpacker::Result result;
    unpackRecording(folder / "a.zip", folder.path(), &result);

    EXPECT_EQ(result, PayloadUnpacker::Result::Complete);
    EXPECT_EQ(readFile(folder / "fj.exe"), "fresh");
    EXPECT_EQ(readFile(folder / "\xB7\xC9.txt"), "utf8");  // 飞 in GBK
}

// A file to replace that is a further name of another file (a hard link planted in its place) stops
// the unpacking: the file it names stays as it was.
TEST(PayloadUnpacker, FileToReplacePlantedAsALinkIsRefused)
{
    TempFolder folder, outside;
    ASSERT_TRUE(writeFile(outside / "kernel.dll", "precious"));
    ASSERT_TRUE(CreateHardLinkA((folder / "fj.exe").c_str(), (outside / "kernel.dll").c_str(), nullptr));
    ASSERT_TRUE(makeZip(folder / "a.zip", {{"fj.exe", "replaced"}}));
    PayloadUnpacker::Result result;
    const std::vector<int> reports = unpackRecording(folder / "a.zip", folder.path(), &result);

    EXPECT_EQ(result, PayloadUnpacker::Result::Failed);
    EXPECT_EQ(PayloadUnpacker::lastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(readFile(outside / "kernel.dll"), "precious");
    EXPECT_EQ(readFile(folder / "fj.exe"), "precious");
}

TEST(InstallWorker, PayloadGoesIntoGbkFolderAndSjZipIsDeleted)
{
    TempFolder folder("\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7");  // 飞鲸网游加速器
    std::vector<int> reports;
    const auto failure = InstallWorker::extractPayload(folder.path(), payloadArchive(), payloadDigest(), [&](int p) {
        reports.push_back(p);
        if (p == 0) {
            EXPECT_TRUE(pathExists(folder / "sj.zip"));
        }
    });

    EXPECT_EQ(failure, InstallFailure::None);
    EXPECT_EQ(reports, (std::vector<int>{0, 12, 25, 37, 50, 62, 75, 87, 100}));
    EXPECT_FALSE(pathExists(folder / "sj.zip"));
}

// The list built into the uninstaller names exactly what the payload unpacks, sub-folders included.
TEST(InstallWorker, UninstallersListNamesEveryFileAndFolderThePayloadInstalls)
{
    TempFolder folder;
    ASSERT_EQ(InstallWorker::extractPayload(folder.path(), payloadArchive(), payloadDigest(), nullptr),
              InstallFailure::None);
    std::vector<std::string> files, folders;
    collectTree(folder.path(), "", files, folders);
    EXPECT_EQ(sorted(files), sorted(product::installedFiles));
    EXPECT_EQ(sorted(folders), sorted(product::installedFolders));
    // Deepest first: a folder comes before the folder that holds it.
    const auto depth = [](std::string_view path) { return std::count(path.begin(), path.end(), '\\'); };
    for (size_t i = 1; i < product::installedFolders.size(); ++i)
        EXPECT_GE(depth(product::installedFolders[i - 1]), depth(product::installedFolders[i])) << i;
}

// The digest is recorded at build time: the stored archive is what was packed.
TEST(InstallWorker, StoredPayloadMatchesTheDigestRecordedAtBuildTime)
{
    std::optional<std::string> packed = readFile(std::string(FEIJING_BUILD_DIR) + "\\payload\\sj.zip");
    ASSERT_TRUE(packed.has_value());
    const Sha256::Digest digest = Sha256::of(Bytes(reinterpret_cast<const std::uint8_t*>(packed->data()), packed->size()));
    EXPECT_TRUE(std::equal(digest.begin(), digest.end(), payloadDigest().begin(), payloadDigest().end()));
    EXPECT_TRUE(InstallWorker::isIntact(payloadArchive(), payloadDigest()));
}

// A damaged download: nothing is written, not even the folder, and nothing is reported.
TEST(InstallWorker, DamagedPayloadWritesNothingNotEvenTheFolder)
{
    const Bytes payload = payloadArchive();
    std::vector<std::uint8_t> flipped(payload.begin(), payload.end());
    flipped[flipped.size() / 2] ^= 0x01;
    std::vector<std::uint8_t> otherDigest(payloadDigest().begin(), payloadDigest().end());
    otherDigest[31] ^= 0x80;
    const struct {
        Bytes archive;
        Bytes digest;
        const char* what;
    } cases[] = {
        {Bytes(flipped), payloadDigest(), "one payload byte changed"},
        {payload.first(payload.size() - 1), payloadDigest(), "the last byte missing"},
        {Bytes(), payloadDigest(), "no payload"},
        {payload, Bytes(otherDigest), "another digest"},
        {payload, payloadDigest().first(16), "half a digest"},
    };
    TempFolder parent;
    for (const auto& c : cases) {
        std::vector<int> reports;
        const InstallFailure failure = InstallWorker::extractPayload(parent / "fj\\", c.archive, c.digest,
                                                                     [&](int p) { reports.push_back(p); });
        EXPECT_EQ(failure, InstallFailure::DamagedPayload) << c.what;
        EXPECT_TRUE(reports.empty()) << c.what;
        EXPECT_FALSE(pathExists(parent / "fj")) << c.what;
    }
}

TEST(InstallWorker, MissingParentFolderFailsAsUnwritableAndReportsNothing)
{
    TempFolder folder;
    std::vector<int> reports;
    const auto failure = InstallWorker::extractPayload(folder / "missing\\deeper\\", payloadArchive(), payloadDigest(),
                                                       [&](int p) { reports.push_back(p); });
    EXPECT_EQ(failure, InstallFailure::CannotWriteFolder);
    EXPECT_TRUE(reports.empty());
}

// Run only as the child of the next test: writes the archive into the folder it is given and holds it.
TEST(InstallWorker, DISABLED_HoldsArchiveUntilEnded)
{
    char folder[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableA("FJ_HOLD_FOLDER", folder, MAX_PATH), 0u);
    const HANDLE archive = InstallWorker::writeArchive(std::string(folder) + "sj.zip", payloadArchive());
    ASSERT_NE(archive, INVALID_HANDLE_VALUE);
    Sleep(INFINITE);
}

// The close button ends the installer with ExitProcess while the worker may hold the archive: a process
// ended from outside, mid-way, shows that the system's closing of its handles takes the archive along.
TEST(InstallWorker, ArchiveGoesWithAProcessEndedWhileItIsHeld)
{
    TempFolder folder;
    ASSERT_TRUE(SetEnvironmentVariableA("FJ_HOLD_FOLDER", folder.path().c_str()));
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string command = std::string("\"") + exe +
                          "\" --gtest_also_run_disabled_tests --gtest_filter=InstallWorker.DISABLED_HoldsArchiveUntilEnded";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    ASSERT_TRUE(CreateProcessA(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
    SetEnvironmentVariableA("FJ_HOLD_FOLDER", nullptr);
    const std::string archive = folder / "sj.zip";
    for (int i = 0; i < 3000 && !pathExists(archive) && WaitForSingleObject(child.hProcess, 0) == WAIT_TIMEOUT; ++i)
        Sleep(10);
    const bool held = pathExists(archive);
    TerminateProcess(child.hProcess, 1);
    WaitForSingleObject(child.hProcess, 10000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    ASSERT_TRUE(held) << "the child wrote no archive";
    for (int i = 0; i < 200 && pathExists(archive); ++i)
        Sleep(10);  // the handles are closed just after the process is gone
    EXPECT_FALSE(pathExists(archive));
}

// A leftover "sj.zip" that cannot be replaced (held open by another program) is not what the
// installer carries: nothing is unpacked from it and it is left alone.
TEST(InstallWorker, UnreplaceableSjZipIsNeverUnpacked)
{
    TempFolder folder;
    ASSERT_TRUE(makeZip(folder / "sj.zip", {{"stranger.exe", "not ours"}}));
    HANDLE held = CreateFileA((folder / "sj.zip").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::vector<int> reports;
    const auto failure = InstallWorker::extractPayload(folder.path(), payloadArchive(), payloadDigest(),
                                                       [&](int p) { reports.push_back(p); });
    CloseHandle(held);

    EXPECT_EQ(failure, InstallFailure::FileInUse);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(folderContents(folder.path()), std::vector<std::string>{"sj.zip"});
}

// Between writing "sj.zip" and unpacking it, another program tries every way to put its own archive in
// its place: each is refused, and what is unpacked is the payload.
TEST(InstallWorker, SjZipCannotBeSwappedBetweenWritingAndUnpacking)
{
    TempFolder folder, elsewhere;
    ASSERT_TRUE(makeZip(elsewhere / "crafted.zip", {{"stranger.exe", "not ours"}}));
    std::vector<std::string> succeeded;
    InstallWorker::hooks.afterArchiveWritten = [&](const std::string& archive) {
        const std::string crafted = elsewhere / "crafted.zip";
        if (MoveFileExA(archive.c_str(), (elsewhere / "moved.zip").c_str(), MOVEFILE_COPY_ALLOWED))
            succeeded.push_back("rename away");
        if (DeleteFileA(archive.c_str()))
            succeeded.push_back("delete");
        if (MoveFileExA(crafted.c_str(), archive.c_str(), MOVEFILE_REPLACE_EXISTING))
            succeeded.push_back("rename over");
        HANDLE write = CreateFileA(archive.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        if (write != INVALID_HANDLE_VALUE) {
            succeeded.push_back("open for writing");
            CloseHandle(write);
        }
    };
    const InstallFailure failure = InstallWorker::extractPayload(folder.path(), payloadArchive(), payloadDigest(), nullptr);
    InstallWorker::hooks.afterArchiveWritten = nullptr;

    EXPECT_EQ(succeeded, std::vector<std::string>{});
    EXPECT_EQ(failure, InstallFailure::None);
    EXPECT_FALSE(pathExists(folder / "stranger.exe"));
    EXPECT_TRUE(pathExists(folder / "fj.exe"));
    EXPECT_FALSE(pathExists(folder / "sj.zip"));
}

TEST(PayloadUnpacker, DamagedNewEntryLeavesNoFileAndReplacedOnesLeaveNoTemporaryFile)
{
    TempFolder folder;
    ASSERT_TRUE(writeFile(folder / "old.txt", "old contents"));
    ASSERT_TRUE(makeZip(folder / "a.zip", {{"old.txt", "new contents"}, {"sub/fresh.txt", "fresh"}}));
    ASSERT_TRUE(makeZip(folder / "bad.zip", {{"sub/broken.txt", "damaged", false, true}}));
    PayloadUnpacker::Result result;
    unpackRecording(folder / "a.zip", folder.path(), &result);
    EXPECT_EQ(result, PayloadUnpacker::Result::Complete);
    const std::vector<int> reports = unpackRecording(folder / "bad.zip", folder.path(), &result);

    EXPECT_EQ(result, PayloadUnpacker::Result::Failed);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(readFile(folder / "old.txt"), "new contents");
    EXPECT_EQ(readFile(folder / "sub\\fresh.txt"), "fresh");
    EXPECT_EQ(folderContents(folder.path()), (std::vector<std::string>{"a.zip", "bad.zip", "old.txt", "sub"}));
    EXPECT_EQ(folderContents(folder / "sub\\"), std::vector<std::string>{"fresh.txt"});
}

// Held open for deletion on close: however the process ends, closing its handles, no archive stays.
TEST(InstallWorker, ArchiveIsWrittenByteForByteOverALeftoverAndReadThroughItsOwnHandle)
{
    TempFolder folder;
    const std::vector<std::uint8_t> small = {'P', 'K', 5, 6, 0, 0, 0, 0};
    const struct {
        Bytes bytes;
        const char* what;
    } cases[] = {{payloadArchive(), "the payload"}, {Bytes(small), "a few bytes"}};
    for (const auto& c : cases) {
        const std::string path = folder / "sj.zip";
        ASSERT_TRUE(writeFile(path, "a much longer read-only leftover of an earlier run"));
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        const HANDLE archive = InstallWorker::writeArchive(path, c.bytes);
        ASSERT_NE(archive, INVALID_HANDLE_VALUE) << c.what;
        // Positioned at its start for the unpacker.
        std::string read(c.bytes.size() + 1, '\0');
        DWORD got = 0;
        ASSERT_TRUE(ReadFile(archive, read.data(), static_cast<DWORD>(read.size()), &got, nullptr)) << c.what;
        read.resize(got);
        EXPECT_TRUE(read.size() == c.bytes.size() && holdsBytesAt(read, 0, c.bytes)) << c.what;
        CloseHandle(archive);
        EXPECT_FALSE(pathExists(path)) << c.what;
    }
}
