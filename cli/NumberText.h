// The numbers of the command line, read as strictly as a value box shows them.
#pragma once

#include <optional>
#include <string_view>

// A finite decimal number, written in full ("1.5", "-6", "+3", "2e1"); anything else is refused,
// where a value box would quietly read 0.
std::optional<float> ParseNumber(std::string_view text);
