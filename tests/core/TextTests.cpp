#include <gtest/gtest.h>

#include "Engine.h"
#include "Text.h"

TEST(Colors, MakeColorSwapsRedAndBlueAndStoresOpaqueAs254)
{
    struct Case {
        COLORREF rgb;
        std::optional<int> alpha;
        ARGB expected;
    };
    const Case cases[] = {
        {RGB(0x12, 0x34, 0x56), std::nullopt, 0xFE123456},
        {RGB(0x12, 0x34, 0x56), 255, 0xFE123456},
        {RGB(0x12, 0x34, 0x56), 254, 0xFE123456},
        {RGB(255, 255, 255), 0, 0x00FFFFFF},
        {RGB(0, 0, 0), 125, 0x7D000000},
        {RGB(209, 228, 236), 234, 0xEAD1E4EC},
    };
    for (const Case& c : cases)
        EXPECT_EQ(makeColor(c.rgb, c.alpha), c.expected) << std::hex << c.rgb;
}

TEST(TextConversion, ProductTextsRoundTripThroughCodePage936)
{
    EXPECT_EQ(GetACP(), 936u) << "the test bed must run with the zh_CN locale";
    struct Case {
        const char* gbk;
        const wchar_t* wide;
    };
    const Case cases[] = {
        {"\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7", L"\u98DE\u9CB8\u7F51\u6E38\u52A0\u901F\u5668"},
        {"\xBC\xAB\xCB\xD9\xB0\xB2\xD7\xB0", L"\u6781\u901F\u5B89\u88C5"},
        {"C:\\\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7\\",
         L"C:\\\u98DE\u9CB8\u7F51\u6E38\u52A0\u901F\u5668\\"},
        {"\xCB\xCE\xCC\xE5", L"\u5B8B\u4F53"},
        {"abc 123", L"abc 123"},
        {"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(toWide(c.gbk), std::wstring(c.wide)) << c.gbk;
        EXPECT_EQ(toAnsi(c.wide), std::string(c.gbk));
    }
    // An explicit code page overrides the ANSI one.
    EXPECT_EQ(toWide("\xE9\xA3\x9E", CP_UTF8), L"\u98DE");
    EXPECT_EQ(toAnsi(L"\u98DE", CP_UTF8), "\xE9\xA3\x9E");
}

TEST(TextHelpers, CompareUnsignedBytesAndConcatenate)
{
    EXPECT_EQ(compareText("abc", "abc"), 0);
    EXPECT_EQ(compareText("abc", "abd"), -1);
    EXPECT_EQ(compareText("abc", "ab"), 1);
    EXPECT_EQ(compareText("\xB0", "a"), 1) << "bytes compare unsigned";
    EXPECT_EQ(compareBytes("ab\0x", "ab\0y", 4), -1) << "NUL does not end a byte range";
    EXPECT_EQ(compareBytes("ab\0x", "ab\0y", 3), 0);
    EXPECT_EQ(textLength("\xB7\xC9\xBE\xA8"), 4u);
    EXPECT_EQ(concatTexts({"C:\\", "\xB7\xC9", "", "\\"}), "C:\\\xB7\xC9\\");
}
