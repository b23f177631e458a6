// Levels as the command line's machine-readable output writes them: two decimals, an ASCII minus
// sign and point whatever the locale, "-inf" for silence.
#pragma once

#include <string>

// A value already in dB (dBFS, dBTP or LUFS). A value that rounds to zero has no minus sign.
std::string DecibelValueText(double decibels);

// A linear level over full scale, in dB.
std::string DecibelText(double level);
