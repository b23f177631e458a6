// Escapes the characters of a name that a terminal would not show as they are.
#include "cli/PrintableText.h"

#include "core/Utf16.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

struct CodeRange {
    char32_t first;
    char32_t last;
};

// General category Cf of Unicode 15.0, in order.
constexpr CodeRange kFormatCharacters[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
    {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x202A, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

bool IsFormatCharacter(char32_t c) {
    const auto after = std::upper_bound(std::begin(kFormatCharacters), std::end(kFormatCharacters), c,
                                        [](char32_t value, const CodeRange& range) { return value < range.first; });
    return after != std::begin(kFormatCharacters) && c <= (after - 1)->last;
}

// C0, DEL and C1, among them the one-unit escape introducer U+009B.
bool IsControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

std::string Escape(const char* format, unsigned long value) {
    char escape[16];
    std::snprintf(escape, sizeof escape, format, value);
    return escape;
}

std::string EscapeCharacter(char32_t c) {
    switch (c) {
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        default:
            break;
    }
    if (c < 0x80) {
        return Escape("\\x%02lx", c);
    }
    return Escape(c <= 0xFFFF ? "\\u%04lx" : "\\U%08lx", c);
}

}  // namespace

std::string PrintableText(const std::string& utf8) {
    std::string out;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const std::optional<char32_t> c = DecodeUtf8At(utf8, pos);
        if (!c) {
            out += Escape("\\x%02lx", static_cast<unsigned char>(utf8[start]));
        } else if (IsControlCharacter(*c) || IsFormatCharacter(*c)) {
            out += EscapeCharacter(*c);
        } else {
            out.append(utf8, start, pos - start);
        }
    }
    return out;
}
