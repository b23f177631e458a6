// The window's settings as its settings file keeps them between starts: the output folder and, for
// the volume and each end's trimming, the check box and its two values. What the file lacks or
// holds in a form that cannot be read stays empty, so that the window keeps its initial value.
#pragma once

#include "core/Utf16.h"

#include <optional>
#include <string>
#include <string_view>

// A check box and the two value boxes it switches.
struct StoredGroup {
    std::optional<bool> checked;
    std::optional<float> first;   // the percent, or a threshold in dB
    std::optional<float> second;  // the volume in dB, or a margin in seconds
};

struct WindowSettings {
    std::optional<Utf16String> outputFolder;
    StoredGroup volume;
    StoredGroup head;
    StoredGroup tail;
};

// The file's text: UTF-8 with a byte-order mark and CR LF, one "key=value" line per stored value,
// each value as its box shows it; Notepad shows and edits it.
std::string SettingsFileText(const WindowSettings& settings);

// Reads what SettingsFileText writes, with or without the byte-order mark and CRs. Unknown lines are
// skipped; a number is kept whatever its range, which the boxes clamp as they do any other value.
WindowSettings ParseSettingsFile(std::string_view text);
