#include <gtest/gtest.h>

#include <cstring>

#include "InstallerTestSupport.h"
#include "PayloadUnpacker.h"
#include "InstallWorker.h"
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

TEST(InstallWorker, PayloadGoesIntoGbkFolderAndSjZipIsDeleted)
{
    TempFolder folder("\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7");  // 飞鲸网游加速器
    std::vector<int> reports;
    const auto result = InstallWorker::extractPayload(folder.path(), payloadArchive(), [&](int p) {
        reports.push_back(p);
        if (p == 0) {
            EXPECT_TRUE(pathExists(folder / "sj.zip"));
        }
    });

    EXPECT_EQ(result, PayloadUnpacker::Result::Complete);
    EXPECT_EQ(reports, (std::vector<int>{0, 12, 25, 37, 50, 62, 75, 87, 100}));
    EXPECT_FALSE(pathExists(folder / "sj.zip"));
    std::vector<std::string> installed(product::installedFiles.begin(), product::installedFiles.end());
    std::sort(installed.begin(), installed.end());
    EXPECT_EQ(folderContents(folder.path()), installed) << "the uninstaller's list names the payload's entries";
}

TEST(InstallWorker, MissingParentFolderReportsNothing)
{
    TempFolder folder;
    std::vector<int> reports;
    const auto result = InstallWorker::extractPayload(folder / "missing\\deeper\\", payloadArchive(),
                                                      [&](int p) { reports.push_back(p); });
    EXPECT_EQ(result, PayloadUnpacker::Result::NoArchive);
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
    const auto result =
        InstallWorker::extractPayload(folder.path(), payloadArchive(), [&](int p) { reports.push_back(p); });
    CloseHandle(held);

    EXPECT_EQ(result, PayloadUnpacker::Result::NoArchive);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(folderContents(folder.path()), std::vector<std::string>{"sj.zip"});
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

TEST(InstallWorker, PayloadLiesInTheExecutableFileAtItsImageFileOffset)
{
    const Bytes payload = payloadArchive();
    const std::optional<ULONGLONG> offset = InstallWorker::imageFileOffset(payload);
    ASSERT_TRUE(offset.has_value());
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::optional<std::string> file = readFile(exe);
    ASSERT_TRUE(file.has_value());
    EXPECT_TRUE(holdsBytesAt(*file, static_cast<size_t>(*offset), payload));

    const std::vector<std::uint8_t> heap(64, 7);
    EXPECT_FALSE(InstallWorker::imageFileOffset(Bytes(heap)).has_value());
    EXPECT_FALSE(InstallWorker::imageFileOffset(Bytes()).has_value());
}

// Held open for deletion on close: however the process ends, closing its handles, no archive stays.
TEST(InstallWorker, ArchiveIsWrittenByteForByteFromImageOrMemoryOverReadOnlyLeftoverAndGoesWithItsHandle)
{
    TempFolder folder;
    const Bytes payload = payloadArchive();
    const std::vector<std::uint8_t> heap = {'P', 'K', 5, 6, 0, 0, 0, 0};
    const struct {
        Bytes bytes;
        const char* what;
    } cases[] = {{payload, "payload from the executable file"}, {Bytes(heap), "bytes outside the image"}};
    for (const auto& c : cases) {
        const std::string path = folder / "sj.zip";
        ASSERT_TRUE(writeFile(path, "a much longer read-only leftover of an earlier run"));
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        const HANDLE archive = InstallWorker::writeArchive(path, c.bytes);
        ASSERT_NE(archive, INVALID_HANDLE_VALUE) << c.what;
        const std::optional<std::string> written = readFile(path);
        ASSERT_TRUE(written.has_value()) << c.what;
        EXPECT_TRUE(written->size() == c.bytes.size() && holdsBytesAt(*written, 0, c.bytes)) << c.what;
        CloseHandle(archive);
        EXPECT_FALSE(pathExists(path)) << c.what;
    }
    // The unpacker reads the archive while its writer still holds it.
    const std::string path = folder / "sj.zip";
    const HANDLE archive = InstallWorker::writeArchive(path, payload);
    ASSERT_NE(archive, INVALID_HANDLE_VALUE);
    PayloadUnpacker::Result result;
    unpackRecording(path, folder.path(), &result);
    EXPECT_EQ(result, PayloadUnpacker::Result::Complete);
    EXPECT_TRUE(pathExists(folder / "fj.exe"));
    CloseHandle(archive);
    EXPECT_FALSE(pathExists(path));
}
