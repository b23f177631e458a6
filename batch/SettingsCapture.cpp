// Reads the processing values and the output folder from the window's controls into the settings
// record.
#include "batch/SettingsCapture.h"

#include "app/MainWindow.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/TextVolumeInfo.h"
#include "controls/TextboxInfo.h"
#include "core/ValueBox.h"

namespace {

void CaptureVolume(ProcessingSettings& settings) {
    const TextVolumeInfo* volume = ControlRegistry::Instance().Find<TextVolumeInfo>(ControlId::VolumePercent);
    if (volume != nullptr && volume->IsEnabled()) {
        settings.gain = GainFromPercent(volume->GetValue());
    } else {
        settings.gain = 1.0f;
    }
}

// A value pair whose first box is missing or switched off by its check box counts as off.
void CaptureTrim(int32_t thresholdId, int32_t marginId, std::atomic<float>& thresholdDb,
                 std::atomic<float>& marginSec) {
    ControlRegistry& registry = ControlRegistry::Instance();
    const TextVolumeInfo* threshold = registry.Find<TextVolumeInfo>(thresholdId);
    if (threshold == nullptr || !threshold->IsEnabled()) {
        thresholdDb = 0.0f;
        marginSec = 0.0f;
        return;
    }
    const TextVolumeInfo* margin = registry.Find<TextVolumeInfo>(marginId);
    thresholdDb = threshold->GetValue();
    marginSec = margin == nullptr ? 0.0f : margin->GetValue();
}

}  // namespace

FolderText CaptureOutputFolder(ProcessingSettings& settings) {
    FolderText folder;
    const TextboxInfo* box = ControlRegistry::Instance().Find<TextboxInfo>(ControlId::OutputFolder);
    if (box == nullptr) {
        return folder;
    }
    ReadEditLine(box->GetHandle(), folder.text);
    // The dialogs and anything else may have moved the current directory since the program started.
    if (folder.text[0] == L'\0' && currentMainWindow != nullptr) {
        Utf16Copy(folder.text, kTextCapacity, currentMainWindow->startFolder);
    }
    folder.fits = GetWindowTextLengthW(box->GetHandle()) < static_cast<int>(kTextCapacity);
    if (folder.fits) {
        Utf16Copy(settings.outputFolder, kTextCapacity, folder.text);
    }
    return folder;
}

void CaptureSettings() {
    for (const int32_t checkboxId : {ControlId::VolumeCheck, ControlId::HeadCheck, ControlId::TailCheck}) {
        CaptureSettingsOf(checkboxId);
    }
}

void CaptureSettingsOf(int32_t checkboxId) {
    ProcessingSettings& settings = ProcessingSettings::Instance();
    switch (checkboxId) {
        case ControlId::VolumeCheck:
            CaptureVolume(settings);
            break;
        case ControlId::HeadCheck:
            CaptureTrim(ControlId::HeadThreshold, ControlId::HeadMargin, settings.headThresholdDb,
                        settings.headMarginSec);
            break;
        case ControlId::TailCheck:
            CaptureTrim(ControlId::TailThreshold, ControlId::TailMargin, settings.tailThresholdDb,
                        settings.tailMarginSec);
            break;
        default:
            break;
    }
}
