// What a run takes from the window: the processing values, each group as its check box switches
// it, and the output folder.
#pragma once

#include "core/ProcessingSettings.h"

#include <cstdint>

void CaptureSettings();
// Copies the one group of processing values that the check box switches, as the window shows it.
void CaptureSettingsOf(int32_t checkboxId);

// The folder box as the run sees it: the text, cut to the buffer for showing, and whether it fits
// whole.
struct FolderText {
    wchar_t text[kTextCapacity] = {};
    bool fits = true;
};

// A text that does not fit whole is refused rather than cut: a cut path names another folder.
FolderText CaptureOutputFolder(ProcessingSettings& settings);
