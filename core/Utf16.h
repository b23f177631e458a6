// UTF-16 text as the audio core sees it: wchar_t on Windows (so Win32 calls take it as it is),
// char16_t elsewhere, where wchar_t is 32 bits wide.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#ifdef _WIN32
using Utf16Char = wchar_t;
#else
using Utf16Char = char16_t;
#endif
using Utf16String = std::basic_string<Utf16Char>;

// Paths, log lines and edit-control reads all use buffers of this many UTF-16 units.
constexpr std::size_t kTextCapacity = 512;

std::size_t Utf16Length(const Utf16Char* text);

// Copies text with its terminator into dst of `capacity` units. A text that does not fit is
// refused, never cut (a cut path names another file): dst is then emptied and the result is false.
bool Utf16Copy(Utf16Char* dst, std::size_t capacity, const Utf16Char* text);

// Appends text to the zero-terminated contents of dst under the same rule; dst is left as it was
// when the result does not fit.
bool Utf16Append(Utf16Char* dst, std::size_t capacity, const Utf16Char* text);

// Malformed UTF-8 becomes U+FFFD, one for each byte that begins no valid sequence.
Utf16String Utf16FromUtf8(const std::string& utf8);
std::string Utf8FromUtf16(const Utf16Char* text);

// The text only when it converts back to the same bytes: a name that does not (malformed UTF-8,
// a zero byte) would name another file, or none.
std::optional<Utf16String> Utf16FromExactUtf8(const std::string& utf8);

// Decodes the UTF-8 sequence at `pos` and moves past it. A malformed one gives nothing and moves
// past its first byte only, so that decoding always advances.
std::optional<char32_t> DecodeUtf8At(const std::string& utf8, std::size_t& pos);
