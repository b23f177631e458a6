// What palvotrix-cli makes of a name before it shows it: each row one character or byte at the
// edge of what is escaped.
#include "cli/PrintableText.h"

#include <gtest/gtest.h>

namespace {

TEST(PrintableText, EscapesControlAndFormatCharactersAndStrayBytes) {
    const struct {
        const char* what;
        std::string text;
        std::string shown;
    } rows[] = {
        {"line feed", "a\nb", "a\\nb"},
        {"carriage return and tab", "\r\t", "\\r\\t"},
        {"escape, starting a terminal command", "\x1b[31m", "\\x1b[31m"},
        {"unit separator, the last C0 control", "\x1f", "\\x1f"},
        {"DEL", "\x7f", "\\x7f"},
        {"first C1 control U+0080", "\xc2\x80", "\\u0080"},
        {"C1 control sequence introducer U+009B", "\xc2\x9b", "\\u009b"},
        {"last C1 control U+009F", "\xc2\x9f", "\\u009f"},
        {"no-break space U+00A0, printable", "\xc2\xa0", "\xc2\xa0"},
        {"soft hyphen U+00AD, a format character", "\xc2\xad", "\\u00ad"},
        {"hair space U+200A, printable", "\xe2\x80\x8a", "\xe2\x80\x8a"},
        {"zero width space U+200B", "\xe2\x80\x8b", "\\u200b"},
        {"right-to-left override U+202E", "x\xe2\x80\xae.wav", "x\\u202e.wav"},
        {"byte order mark U+FEFF", "\xef\xbb\xbf", "\\ufeff"},
        {"interlinear annotation terminator U+FFFB", "\xef\xbf\xbb", "\\ufffb"},
        {"object replacement U+FFFC, printable", "\xef\xbf\xbc", "\xef\xbf\xbc"},
        {"language tag U+E0001, beyond 16 bits", "\xf3\xa0\x80\x81", "\\U000e0001"},
        {"cancel tag U+E007F, the last format character", "\xf3\xa0\x81\xbf", "\\U000e007f"},
        {"Japanese and a supplementary character", "\xe9\x9f\xb3\xf0\x9f\x8e\xb5", "\xe9\x9f\xb3\xf0\x9f\x8e\xb5"},
        {"a byte that is not UTF-8",
         "a\xff"
         "b",
         "a\\xffb"},
        {"a sequence cut short", "\xe2\x80", "\\xe2\\x80"},
        {"an encoded surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PrintableText(row.text), row.shown) << row.what;
    }
}

}  // namespace
