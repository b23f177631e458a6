// Reads the numbers of the command line and of the settings file.
#include "core/NumberText.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstdlib>
#include <string>
#include <system_error>

std::optional<float> ParseNumber(std::string_view text) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') {
        text.remove_prefix(1);
    }
    // from_chars would take "inf", "nan" and hexadecimal digits; none of them is a number a box shows.
    const bool decimal = !text.empty() && text.find_first_not_of("0123456789.eE+-") == std::string_view::npos;
    float value = 0.0f;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (!decimal || rest != end || (error != std::errc() && error != std::errc::result_out_of_range)) {
        return std::nullopt;
    }
    if (error == std::errc::result_out_of_range) {
        // A number too large or too small for a float is still a number, and clamps like any other;
        // strtod tells which way it went (an infinity, or next to zero).
        const double wide = std::strtod(std::string(text).c_str(), nullptr);
        value = static_cast<float>(std::clamp(wide, -double{FLT_MAX}, double{FLT_MAX}));
    }
    return value;
}
