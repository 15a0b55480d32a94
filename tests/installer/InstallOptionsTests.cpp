#include <gtest/gtest.h>

#include "InstallLog.h"
#include "InstallOptions.h"
#include "InstallerTestSupport.h"
#include "Text.h"

using namespace testing_support;

#define PRODUCT "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7"  // 飞鲸网游加速器

TEST(InstallOptions, CommandLines)
{
    const struct {
        const wchar_t* line;
        bool silent, help, bad;
        std::optional<std::string> folder;
        const wchar_t* log;
    } cases[] = {
        {L"FeijingSetup.exe", false, false, false, std::nullopt, L""},
        {L"\"C:\\Down loads\\FeijingSetup.exe\" /S", true, false, false, std::nullopt, L""},
        {L"setup /s /d=D:\\Games\\Fei Jing", true, false, false, "D:\\Games\\Fei Jing\\", L""},
        // The folder takes the rest of the line, spaces and switch-like words included.
        {L"setup /S /D=C:\\a b\\ /LOG=x  ", true, false, false, "C:\\a b\\ /LOG=x\\", L""},
        {L"setup /S /D=\"C:\\quoted dir\"", true, false, false, "C:\\quoted dir\\", L""},
        {L"setup /S \"/D=C:\\quoted dir\\\"", true, false, false, "C:\\quoted dir\\", L""},
        {L"setup /S \"/D=C:\\quoted dir\\\\\"", true, false, false, "C:\\quoted dir\\", L""},
        {L"setup /LOG=\"C:\\my logs\\s.log\" /S", true, false, false, std::nullopt, L"C:\\my logs\\s.log"},
        {L"setup \"/LOG=C:\\l s.log\"", false, false, false, std::nullopt, L"C:\\l s.log"},
        {L"setup /?", false, true, false, std::nullopt, L""},
        {L"setup /S /X", true, false, true, std::nullopt, L""},
        {L"setup /LOG= /S", true, false, true, std::nullopt, L""},
        {L"setup /S /D=", true, false, true, "", L""},
        {L"setup /SS", false, false, true, std::nullopt, L""},
        {L"setup /D=C:\\\x98DE\x9CB8\x7F51\x6E38\x52A0\x901F\x5668", false, false, false, "C:\\" PRODUCT "\\", L""},
        // A character GBK cannot hold names no folder the installer could write to.
        {L"setup /S /D=C:\\\x0639\x0631", true, false, true, "C:\\??\\", L""},
    };
    for (const auto& c : cases) {
        const InstallOptions options = InstallOptions::parse(c.line);
        const std::string line = toAnsi(c.line);
        EXPECT_EQ(options.isSilent, c.silent) << line;
        EXPECT_EQ(options.showsHelp, c.help) << line;
        EXPECT_EQ(options.hasBadArgument(), c.bad) << line;
        EXPECT_EQ(options.folder, c.folder) << line;
        EXPECT_EQ(options.logFile, c.log) << line;
    }
}

// UTF-8 lines, one per write, appended in order; a log never opened writes nothing anywhere.
TEST(InstallLog, WritesOneUtf8LinePerStep)
{
    TempFolder folder;
    const std::string path = folder / "\xC8\xD5\xD6\xBE.log";  // 日志.log
    {
        InstallLog log;
        log.write("not open", "anywhere");
        ASSERT_TRUE(log.open(toWide(path)));
        log.write("install folder C:\\" PRODUCT "\\", "accepted");
        log.write("write sj.zip", "failed", ERROR_DISK_FULL);
    }
    const std::string text = readFile(path).value_or("");
    const std::string first = "install folder C:\\\xE9\xA3\x9E\xE9\xB2\xB8\xE7\xBD\x91\xE6\xB8\xB8\xE5\x8A\xA0\xE9\x80\x9F"
                              "\xE5\x99\xA8\\: accepted\r\n";
    const std::string second = "write sj.zip: failed (error 112)\r\n";
    ASSERT_EQ(text.size(), 24 + first.size() + 24 + second.size()) << text;
    EXPECT_EQ(text.substr(24, first.size()), first);
    EXPECT_EQ(text.substr(24 + first.size() + 24), second);
    // "yyyy-mm-dd hh:mm:ss.mmm " before each.
    for (size_t at : {size_t(0), 24 + first.size()})
        EXPECT_TRUE(text[at + 4] == '-' && text[at + 10] == ' ' && text[at + 13] == ':' && text[at + 19] == '.' &&
                    text[at + 23] == ' ')
            << text.substr(at, 24);
}
