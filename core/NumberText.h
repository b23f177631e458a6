// Numbers read as strictly as a value box shows them: the command line's values and the window's
// settings file.
#pragma once

#include <optional>
#include <string_view>

// A finite decimal number, written in full ("1.5", "-6", "+3", "2e1"); anything else is refused,
// where a value box would quietly read 0. One too large for a float is the largest float of its sign.
std::optional<float> ParseNumber(std::string_view text);
