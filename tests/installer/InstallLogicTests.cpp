#include <gtest/gtest.h>

#include "AgreementBox.h"
#include "InstallFailure.h"
#include "InstallFolder.h"
#include "InstallerTestSupport.h"
#include "PayloadUnpacker.h"
#include "ProgressStages.h"
#include "Resources.h"
#include "UninstallList.h"

using namespace testing_support;

#define PRODUCT "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7"  // 飞鲸网游加速器

TEST(InstallFolder, BrowseResultBecomesFolderTextEndingInProductFolder)
{
    const struct {
        const char* chosen;
        const char* folder;
    } cases[] = {
        {"D:\\", "D:\\" PRODUCT "\\"},
        {"D:\\Games", "D:\\Games\\" PRODUCT "\\"},
        {"C:\\Program Files (x86)", "C:\\Program Files (x86)\\" PRODUCT "\\"},
        {"D:\\\xD3\xCE\xCF\xB7", "D:\\\xD3\xCE\xCF\xB7\\" PRODUCT "\\"},  // D:\游戏
        {"\\\\server\\share", "\\\\server\\share\\" PRODUCT "\\"},          // no ":" at all
        {"", ""},                                                            // cancelled
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstallFolder::fromBrowseResult(c.chosen), c.folder) << c.chosen;
}

TEST(InstallFolder, DefaultIsPresetBecauseWindowsFolderExists)
{
    EXPECT_EQ(InstallFolder::defaultFolder(), "C:\\" PRODUCT "\\");
}

TEST(InstallFolder, TrailingSeparatorIsNotMistakenForAGbkTrailByte)
{
    const struct {
        const char* text;
        bool endsWithSeparator;
    } cases[] = {
        {"C:\\" PRODUCT "\\", true}, {"C:\\Games", false}, {"C:\\\x95\\", false},  // 0x95 0x5C is one character
        {"C:\\\x95\\\\", true},      {"", false},           {"\\", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InstallFolder::endsWithSeparator(c.text), c.endsWithSeparator) << c.text;
        EXPECT_TRUE(std::string(c.text).empty() || InstallFolder::endsWithSeparator(InstallFolder::withSeparator(c.text)));
    }
}

TEST(ProgressStages, StatusTextByPercent)
{
    const char* deploying = "\xD5\xFD\xD4\xDA\xB2\xBF\xCA\xF0...";
    const char* installing = "\xD5\xFD\xD4\xDA\xB0\xB2\xD7\xB0..";
    const char* registering = "\xB3\xE5\xD1\xBC\xA3\xA1.....";
    const char* icons = "\xD5\xFD\xD4\xDA\xB4\xB4\xBD\xA8\xD7\xC0\xC3\xE6\xCD\xBC\xB1\xEA...";
    const struct {
        int percent;
        const char* text;
    } cases[] = {{0, deploying},    {5, deploying},    {6, installing}, {20, installing}, {21, registering},
                 {70, registering}, {71, icons},       {99, icons},     {100, nullptr}};
    for (const auto& c : cases) {
        const char* text = ProgressStages::statusText(ProgressStages::stageOf(c.percent));
        EXPECT_STREQ(text, c.text) << c.percent;
    }
}

TEST(ProgressStages, UnpackerReportsForOneTwoAndEightEntries)
{
    TempFolder folder;
    const struct {
        int count;
        std::vector<int> reports;
    } cases[] = {
        {1, {0, 100}},
        {2, {0, 50, 100}},
        {8, {0, 12, 25, 37, 50, 62, 75, 87, 100}},
    };
    for (const auto& c : cases) {
        std::vector<ZipSource> entries;
        for (int i = 0; i < c.count; ++i)
            entries.push_back({std::string("file") + static_cast<char>('0' + i), std::string(100 * i, 'x')});
        const std::string archive = folder / std::string(1, static_cast<char>('0' + c.count)).append(".zip");
        ASSERT_TRUE(makeZip(archive, entries));
        std::vector<int> reports;
        EXPECT_EQ(PayloadUnpacker::unpack(archive, folder.path(), [&](int p) { reports.push_back(p); }),
                  PayloadUnpacker::Result::Complete);
        EXPECT_EQ(reports, c.reports) << c.count;
    }
}

TEST(UninstallList, FourGbkLinesWithoutFinalLineBreakAndRoundTrip)
{
    const UninstallList list{"C:\\" PRODUCT "\\", "C:\\P\\" PRODUCT, "C:\\D\\" PRODUCT ".lnk", "fj.exe"};
    const std::string bytes = list.bytes();
    EXPECT_EQ(bytes, "C:\\" PRODUCT "\\\r\nC:\\P\\" PRODUCT "\r\nC:\\D\\" PRODUCT ".lnk\r\nfj.exe");
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
    EXPECT_EQ(UninstallList::parse(bytes), list);
    EXPECT_EQ(UninstallList::parse(bytes + "\r\n"), list);

    for (const char* malformed : {"", "a\r\nb\r\nc", "a\r\nb\r\nc\r\nd\r\ne", "a\nb\nc\nd", "a\r\nb\r\nc\rx\r\nd"})
        EXPECT_FALSE(UninstallList::parse(malformed)) << malformed;
}

TEST(AgreementBox, PictureSetsOfEachMoment)
{
    using M = AgreementBox::Moment;
    using Names = std::array<std::optional<std::string_view>, 4>;
    const struct {
        M moment;
        Names names;
    } cases[] = {
        {M::Creation, {"unticked", "unticked-hover", "ticked", "ticked-hover"}},
        {M::ClickedToTicked, {"ticked", "ticked-hover", "unticked-hover", std::nullopt}},
        {M::ClickedToUnticked, {"unticked", "unticked-hover", "ticked-hover", std::nullopt}},
        {M::HoverWhileTicked, {"ticked", "ticked-hover", "unticked", "unticked-hover"}},
        {M::HoverWhileUnticked, {"unticked", "unticked-hover", "ticked", "ticked-hover"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AgreementBox::pictureNames(c.moment), c.names) << static_cast<int>(c.moment);
        const PictureSet set = AgreementBox::pictures(c.moment);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(set[i].has_value() ? set[i]->size() : 0u, c.names[i] ? picture(*c.names[i]).size() : 0u);
    }
}

TEST(AgreementBox, UntickedOnlyWhenEveryByteMatches)
{
    std::vector<std::uint8_t> unticked = pictureBytes("unticked");
    ASSERT_GT(unticked.size(), 8u);
    EXPECT_TRUE(AgreementBox::isUnticked(unticked));
    const std::vector<std::uint8_t> shorter(unticked.begin(), unticked.end() - 1);
    std::vector<std::uint8_t> lastByteChanged = shorter;
    lastByteChanged.push_back(unticked.back() ^ 1);
    for (const auto& other : {lastByteChanged, shorter, pictureBytes("ticked"), pictureBytes("unticked-hover"), {}})
        EXPECT_FALSE(AgreementBox::isUnticked(other)) << other.size();
    EXPECT_TRUE(AgreementBox::showsTicked(pictureBytes("ticked")));
    EXPECT_FALSE(AgreementBox::showsTicked(unticked));
}

TEST(InstallFailure, ErrorsGiveTheirReasonAndEachReasonItsOwnText)
{
    const struct {
        DWORD error;
        InstallFailure failure;
    } cases[] = {
        {ERROR_DISK_FULL, InstallFailure::DiskFull},
        {ERROR_HANDLE_DISK_FULL, InstallFailure::DiskFull},
        {ERROR_SHARING_VIOLATION, InstallFailure::FileInUse},
        {ERROR_LOCK_VIOLATION, InstallFailure::FileInUse},
        {ERROR_USER_MAPPED_FILE, InstallFailure::FileInUse},
        {ERROR_CRC, InstallFailure::DamagedPayload},
        {ERROR_ACCESS_DENIED, InstallFailure::CannotWriteFolder},
        {ERROR_PATH_NOT_FOUND, InstallFailure::CannotWriteFolder},
        {ERROR_WRITE_PROTECT, InstallFailure::CannotWriteFolder},
        {ERROR_SUCCESS, InstallFailure::CannotWriteFolder},  // a failure with no error is still one
    };
    for (const auto& c : cases)
        EXPECT_EQ(failureFromError(c.error), c.failure) << c.error;

    const std::string prefix = "\xB0\xB2\xD7\xB0\xCA\xA7\xB0\xDC\xA3\xBA";  // 安装失败：
    std::vector<std::string> texts;
    for (InstallFailure failure : {InstallFailure::DamagedPayload, InstallFailure::DiskFull, InstallFailure::FileInUse,
                                   InstallFailure::CannotWriteFolder}) {
        ASSERT_NE(failureText(failure), nullptr);
        texts.push_back(failureText(failure));
        EXPECT_EQ(texts.back().rfind(prefix, 0), 0u) << texts.back();
        EXPECT_GT(texts.back().size(), prefix.size());
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(std::unique(texts.begin(), texts.end()), texts.end());
    EXPECT_EQ(failureText(InstallFailure::None), nullptr);
}
