// The reasons' texts: every kind has one in both languages, and the details are formatted into it.
#include "core/FileReason.h"

#include <gtest/gtest.h>

namespace {

using Kind = FileReason::Kind;

FileReason Reason(Kind kind, std::uint64_t offset, std::uint32_t code, std::uint16_t bits) {
    FileReason reason(kind);
    reason.offset = offset;
    reason.code = code;
    reason.bits = bits;
    return reason;
}

FileReason Reached(Kind kind, double level) {
    FileReason reason(kind);
    reason.level = level;
    return reason;
}

FileReason Counted(Kind kind, std::uint64_t offset, std::uint64_t count) {
    FileReason reason(kind);
    reason.offset = offset;
    reason.count = count;
    return reason;
}

TEST(FileReasonTest, DetailsAreFormattedIntoTheTexts) {
    const struct {
        FileReason reason;
        const char* english;
        const char* japanese;
    } rows[] = {
        {Reason(Kind::Damaged, 4294967340u, 0, 0), "damaged at byte 4294967340",
         "ファイルが壊れています（4294967340 バイトの位置）"},
        {Reason(Kind::UnsupportedCoding, 0, 2, 0), "unsupported coding 0x0002 (Microsoft ADPCM)",
         "対応していない符号化方式です: 0x0002 (Microsoft ADPCM)"},
        {Reason(Kind::UnsupportedCoding, 0, 0xA123, 0), "unsupported coding 0xA123",
         "対応していない符号化方式です: 0xA123"},
        {Reason(Kind::UnchangedCoding, 0, 3, 24), "written unchanged: 24-bit IEEE float is not processed",
         "24ビットの浮動小数点は処理しないため、そのまま書き出しました"},
        {Counted(Kind::TooManyChunks, 524324, 65536), "damaged: more than 65536 chunks, the next at byte 524324",
         "ファイルが壊れています（チャンクが 65536 個を超えています、524324 バイトの位置）"},
        {Counted(Kind::KeptUnusedSpace, 0, 4294967296u),
         "the 4294967296 bytes of unused space after the last chunk were kept as they are",
         "最後のチャンクの後の未使用領域（4294967296 バイト）をそのまま残しました"},
        {Reached(Kind::LoudnessLimited, -16.34),
         "loudness target not reached: limited by the peak ceiling (-16.3 LUFS reached)",
         "ピークの上限のため、ラウドネスが目標に届きませんでした（-16.3 LUFS）"},
        {Reached(Kind::PeakLimited, -1.96), "peak target not reached: limited by the peak ceiling (-2.0 dBFS reached)",
         "ピークの上限のため、ピークが目標に届きませんでした（-2.0 dBFS）"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(EnglishText(row.reason), row.english);
        EXPECT_EQ(Utf8FromUtf16(JapaneseText(row.reason).c_str()), row.japanese);
    }
}

TEST(FileReasonTest, EveryKindIsAFailureANoteOrNothingAndHasItsTexts) {
    for (int k = static_cast<int>(Kind::None); k <= static_cast<int>(Kind::NotMeasured); ++k) {
        const FileReason reason(static_cast<Kind>(k));
        const bool none = reason.kind == Kind::None;
        EXPECT_EQ(none, !reason.IsFailure() && !reason.IsNote()) << k;
        EXPECT_FALSE(reason.IsFailure() && reason.IsNote()) << k;
        EXPECT_EQ(EnglishText(reason).empty(), none) << k;
        EXPECT_EQ(JapaneseText(reason).empty(), none) << k;
    }
    EXPECT_TRUE(FileReason(Kind::SameOutputTwice).IsFailure());
    EXPECT_TRUE(FileReason(Kind::UnchangedNoFormat).IsNote());
    EXPECT_TRUE(FileReason(Kind::KeptUnusedSpace).IsNote());
    EXPECT_TRUE(FileReason(Kind::TooManyChunks).IsFailure());
    EXPECT_TRUE(FileReason(Kind::UnchangedSilent).IsNote());
    EXPECT_TRUE(FileReason(Kind::LoudnessLimited).IsNote());
}

}  // namespace
