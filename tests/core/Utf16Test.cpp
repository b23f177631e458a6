// Bounded copying and UTF-8 conversion of UTF-16 text.
#include "core/Utf16.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf16Test, CopyRefusesTextThatDoesNotFitAndEmptiesTheTarget) {
    const Utf16String text = Utf16FromUtf8("abcd");
    Utf16Char buffer[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_TRUE(Utf16Copy(buffer, 5, text.c_str()));
    EXPECT_EQ(Utf16String(buffer), text);
    EXPECT_FALSE(Utf16Copy(buffer, 4, text.c_str()));
    EXPECT_EQ(buffer[0], 0);
}

TEST(Utf16Test, AppendLeavesTheTargetAsItWasWhenTheResultDoesNotFit) {
    Utf16Char buffer[6] = {'a', 'b', 0};
    EXPECT_TRUE(Utf16Append(buffer, 6, Utf16FromUtf8("cd").c_str()));
    EXPECT_EQ(Utf16String(buffer), Utf16FromUtf8("abcd"));
    EXPECT_FALSE(Utf16Append(buffer, 6, Utf16FromUtf8("ef").c_str()));
    EXPECT_EQ(Utf16String(buffer), Utf16FromUtf8("abcd"));
    EXPECT_TRUE(Utf16Append(buffer, 6, Utf16FromUtf8("e").c_str()));
}

TEST(Utf16Test, Utf8RoundTripKeepsJapaneseAndSupplementaryCharacters) {
    // "音声" and U+1F3B5, which needs a surrogate pair.
    const std::string utf8 = "\xE9\x9F\xB3\xE5\xA3\xB0-\xF0\x9F\x8E\xB5.wav";
    const Utf16String utf16 = Utf16FromUtf8(utf8);
    ASSERT_EQ(utf16.size(), 9u);
    EXPECT_EQ(utf16[0], Utf16Char(0x97F3));
    EXPECT_EQ(utf16[3], Utf16Char(0xD83C));
    EXPECT_EQ(utf16[4], Utf16Char(0xDFB5));
    EXPECT_EQ(Utf8FromUtf16(utf16.c_str()), utf8);
}

TEST(Utf16Test, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf16FromUtf8("a\xFF"
                            "b"),
              (Utf16String{'a', Utf16Char(0xFFFD), 'b'}));
    EXPECT_EQ(Utf16FromUtf8("\xE9\x9F"), (Utf16String{Utf16Char(0xFFFD), Utf16Char(0xFFFD)}));
    // "A" spelt in two bytes.
    EXPECT_EQ(Utf16FromUtf8("\xC1\x81"), (Utf16String{Utf16Char(0xFFFD), Utf16Char(0xFFFD)}));
    const Utf16Char loneSurrogate[] = {Utf16Char(0xD800), 'x', 0};
    EXPECT_EQ(Utf8FromUtf16(loneSurrogate), "\xEF\xBF\xBDx");
}

}  // namespace
