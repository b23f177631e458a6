// Length, bounded copying and UTF-8 conversion of the core's UTF-16 text.
#include "core/Utf16.h"

#include <algorithm>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Units before the terminator, or `capacity` when there is none within it.
std::size_t BoundedLength(const Utf16Char* text, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && text[length] != 0) {
        ++length;
    }
    return length;
}

void AppendUtf16(Utf16String& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<Utf16Char>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(static_cast<Utf16Char>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<Utf16Char>(0xDC00 + (codePoint & 0x3FF)));
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

}  // namespace

std::size_t Utf16Length(const Utf16Char* text) {
    std::size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}

bool Utf16Copy(Utf16Char* dst, std::size_t capacity, const Utf16Char* text) {
    if (capacity == 0) {
        return false;
    }
    const std::size_t length = Utf16Length(text);
    if (length >= capacity) {
        dst[0] = 0;
        return false;
    }
    std::copy(text, text + length + 1, dst);
    return true;
}

bool Utf16Append(Utf16Char* dst, std::size_t capacity, const Utf16Char* text) {
    const std::size_t used = BoundedLength(dst, capacity);
    if (used == capacity) {
        return false;
    }
    const std::size_t length = Utf16Length(text);
    if (length >= capacity - used) {
        return false;
    }
    std::copy(text, text + length + 1, dst + used);
    return true;
}

Utf16String Utf16FromUtf8(const std::string& utf8) {
    Utf16String out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        AppendUtf16(out, DecodeUtf8At(utf8, pos).value_or(kReplacement));
    }
    return out;
}

std::string Utf8FromUtf16(const Utf16Char* text) {
    std::string out;
    for (std::size_t i = 0; text[i] != 0; ++i) {
        const auto unit = static_cast<char32_t>(static_cast<char16_t>(text[i]));
        const auto next = static_cast<char32_t>(static_cast<char16_t>(text[i + 1]));
        if (IsHighSurrogate(unit) && IsLowSurrogate(next)) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::optional<Utf16String> Utf16FromExactUtf8(const std::string& utf8) {
    Utf16String text = Utf16FromUtf8(utf8);
    if (Utf8FromUtf16(text.c_str()) != utf8) {
        return std::nullopt;
    }
    return text;
}

std::optional<char32_t> DecodeUtf8At(const std::string& text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    std::size_t trailing = 0;
    char32_t codePoint = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        trailing = 1, codePoint = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        trailing = 2, codePoint = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        trailing = 3, codePoint = lead & 0x07, smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (trailing > text.size() - pos) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < trailing; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF || IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint)) {
        return std::nullopt;
    }
    pos += trailing;
    return codePoint;
}
