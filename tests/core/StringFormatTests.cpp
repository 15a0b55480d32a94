#include <gtest/gtest.h>

#include "StringFormatHelper.h"

namespace {
int alignmentOf(GpStringFormat* format)
{
    Gdiplus::StringAlignment value{};
    EXPECT_EQ(GDIP(GdipGetStringFormatAlign)(format, &value), Gdiplus::Ok);
    return value;
}
}  // namespace

TEST(StringFormats, AccessorsSetAndAnswerTheCurrentValue)
{
    StringFormatHelper helper;
    ASSERT_TRUE(helper.createFormat(Gdiplus::StringFormatFlagsNoWrap, 0));
    EXPECT_EQ(helper.alignment(), Gdiplus::StringAlignmentNear);
    EXPECT_EQ(helper.alignment(Gdiplus::StringAlignmentCenter), Gdiplus::StringAlignmentCenter);
    EXPECT_EQ(helper.alignment(), Gdiplus::StringAlignmentCenter);
    EXPECT_EQ(helper.trimming(0), 0);
    EXPECT_EQ(helper.trimming(), 0);
    EXPECT_EQ(helper.hotkeyPrefix(Gdiplus::HotkeyPrefixShow), Gdiplus::HotkeyPrefixShow);
    EXPECT_EQ(helper.hotkeyPrefix(), Gdiplus::HotkeyPrefixShow);
    EXPECT_EQ(helper.formatFlags(), Gdiplus::StringFormatFlagsNoWrap);
    helper.formatFlags(Gdiplus::StringFormatFlagsNoClip);
    EXPECT_EQ(helper.formatFlags(), Gdiplus::StringFormatFlagsNoClip);
}

TEST(StringFormats, HelperWithoutOwnershipLeavesTheFormatAlive)
{
    GpStringFormat* kept = nullptr;
    {
        StringFormatHelper helper;
        ASSERT_TRUE(helper.createFormat(0, 0, false));
        helper.alignment(Gdiplus::StringAlignmentFar);
        kept = helper.nativeHandle();
        // Re-creating without ownership leaves the previous format alone, too.
        ASSERT_TRUE(helper.createFormat(0, 0, false));
        EXPECT_NE(helper.nativeHandle(), kept);
        GDIP(GdipDeleteStringFormat)(helper.nativeHandle());
    }
    EXPECT_EQ(alignmentOf(kept), Gdiplus::StringAlignmentFar);
    GDIP(GdipDeleteStringFormat)(kept);
}

TEST(StringFormats, CopiesNeverShareAnOwnedHandle)
{
    auto original = std::make_unique<StringFormatHelper>();
    ASSERT_TRUE(original->createFormat(0, 0));
    original->alignment(Gdiplus::StringAlignmentCenter);
    std::unique_ptr<StringFormatHelper> copy = original->clone();
    ASSERT_NE(copy->nativeHandle(), nullptr);
    EXPECT_NE(copy->nativeHandle(), original->nativeHandle());
    EXPECT_TRUE(copy->ownsHandle());
    original.reset();  // deletes its own format only
    EXPECT_EQ(copy->alignment(), Gdiplus::StringAlignmentCenter);

    StringFormatHelper borrowed;
    borrowed.createFormat(0, 0, false);
    std::unique_ptr<StringFormatHelper> view = borrowed.clone();
    EXPECT_EQ(view->nativeHandle(), borrowed.nativeHandle());
    EXPECT_FALSE(view->ownsHandle());
    GDIP(GdipDeleteStringFormat)(borrowed.nativeHandle());
}
