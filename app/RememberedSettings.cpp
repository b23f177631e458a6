// The window's settings from and into its controls: the output folder, and for the volume and each
// end's trimming the check box and its two value boxes.
#include "app/RememberedSettings.h"

#include "app/MainWindow.h"
#include "controls/CheckboxInfo.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/TextVolumeInfo.h"
#include "controls/TextboxInfo.h"

namespace {

struct GroupControls {
    StoredGroup WindowSettings::*group;
    int32_t checkboxId;
    int32_t firstId;
    int32_t secondId;
};

const GroupControls kGroups[] = {
    {&WindowSettings::volume, ControlId::VolumeCheck, ControlId::VolumePercent, ControlId::VolumeDb},
    {&WindowSettings::head, ControlId::HeadCheck, ControlId::HeadThreshold, ControlId::HeadMargin},
    {&WindowSettings::tail, ControlId::TailCheck, ControlId::TailThreshold, ControlId::TailMargin},
};

std::optional<Utf16String> WholeText(const TextboxInfo* box) {
    if (box == nullptr) {
        return std::nullopt;
    }
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box->GetHandle())) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(box->GetHandle(), text.data(), static_cast<int>(text.size()))));
    return text;
}

std::optional<float> ValueOf(int32_t boxId) {
    const TextVolumeInfo* box = ControlRegistry::Instance().Find<TextVolumeInfo>(boxId);
    return box == nullptr ? std::nullopt : std::optional<float>(box->GetValue());
}

WindowSettings SettingsShown() {
    const ControlRegistry& controls = ControlRegistry::Instance();
    WindowSettings settings;
    settings.outputFolder = WholeText(controls.Find<TextboxInfo>(ControlId::OutputFolder));
    for (const GroupControls& group : kGroups) {
        StoredGroup& stored = settings.*group.group;
        if (const CheckboxInfo* checkbox = controls.Find<CheckboxInfo>(group.checkboxId)) {
            stored.checked = SendMessageW(checkbox->GetHandle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
        }
        stored.first = ValueOf(group.firstId);
        stored.second = ValueOf(group.secondId);
    }
    return settings;
}

// The percent box counts, as the run takes its gain from it: the dB box follows it as when it is left,
// so that a file edited by hand cannot show two volumes. Only a file that holds the dB value alone
// gives the percent from it.
void KeepVolumeBoxesInStep(TextVolumeInfo& percent, TextVolumeInfo& decibels, const StoredGroup& stored) {
    if (stored.first) {
        percent.SyncPartner();
    } else if (stored.second) {
        decibels.SyncPartner();
    }
}

// Each box clamps its value as it does any other.
void ShowGroup(const GroupControls& group, const StoredGroup& stored) {
    const ControlRegistry& controls = ControlRegistry::Instance();
    TextVolumeInfo* first = controls.Find<TextVolumeInfo>(group.firstId);
    TextVolumeInfo* second = controls.Find<TextVolumeInfo>(group.secondId);
    if (first != nullptr && stored.first) {
        first->SetValue(*stored.first);
    }
    if (second != nullptr && stored.second) {
        second->SetValue(*stored.second);
    }
    if (group.firstId == ControlId::VolumePercent && first != nullptr && second != nullptr) {
        KeepVolumeBoxesInStep(*first, *second, stored);
    }
    CheckboxInfo* checkbox = controls.Find<CheckboxInfo>(group.checkboxId);
    if (checkbox != nullptr && stored.checked) {
        checkbox->SetChecked(*stored.checked);
    }
}

void ShowSettings(const WindowSettings& settings) {
    TextboxInfo* folder = ControlRegistry::Instance().Find<TextboxInfo>(ControlId::OutputFolder);
    if (folder != nullptr && settings.outputFolder) {
        folder->SetText(settings.outputFolder->c_str());
    }
    for (const GroupControls& group : kGroups) {
        ShowGroup(group, settings.*group.group);
    }
}

}  // namespace

void RestoreWindowSettings(const SettingsPlaces& places) {
    if (currentMainWindow == nullptr) {
        return;
    }
    currentMainWindow->settingsPlaces = places;
    ShowSettings(LoadSettings(places));
}

void StoreWindowSettings() {
    if (currentMainWindow == nullptr || !IsWindow(currentMainWindow->window)) {
        return;
    }
    SaveSettings(currentMainWindow->settingsPlaces, SettingsShown());
}
