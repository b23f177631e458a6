// The main window's 34 controls: constructed, created, configured and registered in table order.
// Each control's childId is 100 + its row index, so nothing else may construct a control first.
#include "app/Layout.h"

#include "controls/ButtonInfo.h"
#include "controls/CheckboxInfo.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/GroupInfo.h"
#include "controls/LabelInfo.h"
#include "controls/ListboxInfo.h"
#include "controls/LogInfo.h"
#include "controls/TextVolumeInfo.h"
#include "controls/TextboxInfo.h"
#include "controls/VScrollInfo.h"
#include "core/ValueBox.h"

#include <array>
#include <memory>

namespace {

constexpr int32_t kMainWindow = 0;

struct Row {
    ControlKind kind;
    int32_t controlId;
    int32_t parentGroupId;   // kMainWindow, or the controlId of the group box that holds the control
    const wchar_t* caption;  // null: created untitled
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// The table keeps its columns.
// clang-format off
const Row kRows[] = {
    {ControlKind::Group,      ControlId::FileListGroup,       kMainWindow,              L"音声ファイルリスト（D&&Dで追加可能）", 5,   5,   330, 260},
    {ControlKind::Listbox,    ControlId::FileList,            ControlId::FileListGroup, nullptr,                                 5,   20,  320, 200},
    {ControlKind::Button,     ControlId::AddButton,           ControlId::FileListGroup, L"追加",                                 5,   225, 60,  24},
    {ControlKind::Button,     ControlId::DeleteButton,        ControlId::FileListGroup, L"削除",                                 85,  225, 60,  24},
    {ControlKind::Button,     ControlId::DeleteAllButton,     ControlId::FileListGroup, L"全削除",                               265, 225, 60,  24},
    {ControlKind::Group,      ControlId::OutputGroup,         kMainWindow,              L"出力フォルダ",                         5,   275, 330, 50},
    {ControlKind::Textbox,    ControlId::OutputFolder,        ControlId::OutputGroup,   L"",                                     5,   20,  290, 24},
    {ControlKind::Button,     ControlId::BrowseButton,        ControlId::OutputGroup,   L"...",                                  295, 20,  30,  24},
    {ControlKind::Button,     ControlId::Start,               kMainWindow,              L"開始",                                 265, 330, 60,  40},
    {ControlKind::Button,     ControlId::Stop,                kMainWindow,              L"停止",                                 265, 330, 60,  40},
    {ControlKind::Group,      ControlId::VolumeGroup,         kMainWindow,              L"音量調整",                             340, 5,   295, 70},
    {ControlKind::Checkbox,   ControlId::VolumeCheck,         ControlId::VolumeGroup,   L"音量変更",                             10,  35,  80,  24},
    {ControlKind::Label,      ControlId::VolumePercentLabel,  ControlId::VolumeGroup,   L"音量(%)",                              100, 20,  60,  24},
    {ControlKind::TextVolume, ControlId::VolumePercent,       ControlId::VolumeGroup,   L"100.00",                               100, 35,  60,  24},
    {ControlKind::VScroll,    ControlId::VolumePercentArrows, ControlId::VolumeGroup,   nullptr,                                 160, 35,  20,  24},
    {ControlKind::Label,      ControlId::VolumeDbLabel,       ControlId::VolumeGroup,   L"音量(dB)",                             190, 20,  60,  24},
    {ControlKind::TextVolume, ControlId::VolumeDb,            ControlId::VolumeGroup,   L"0.00",                                 190, 35,  60,  24},
    {ControlKind::VScroll,    ControlId::VolumeDbArrows,      ControlId::VolumeGroup,   nullptr,                                 250, 35,  20,  24},
    {ControlKind::Group,      ControlId::TrimGroup,           kMainWindow,              L"両端無音削除",                         340, 90,  295, 115},
    {ControlKind::Checkbox,   ControlId::HeadCheck,           ControlId::TrimGroup,     L"先頭",                                 10,  35,  80,  24},
    {ControlKind::Label,      ControlId::HeadThresholdLabel,  ControlId::TrimGroup,     L"閾値(dB)",                             100, 20,  60,  24},
    {ControlKind::TextVolume, ControlId::HeadThreshold,       ControlId::TrimGroup,     L"-96.00",                               100, 35,  60,  24},
    {ControlKind::VScroll,    ControlId::HeadThresholdArrows, ControlId::TrimGroup,     nullptr,                                 160, 35,  20,  24},
    {ControlKind::Label,      ControlId::HeadMarginLabel,     ControlId::TrimGroup,     L"遊び(秒)",                             190, 20,  60,  24},
    {ControlKind::TextVolume, ControlId::HeadMargin,          ControlId::TrimGroup,     L"0.00",                                 190, 35,  60,  24},
    {ControlKind::VScroll,    ControlId::HeadMarginArrows,    ControlId::TrimGroup,     nullptr,                                 250, 35,  20,  24},
    {ControlKind::Checkbox,   ControlId::TailCheck,           ControlId::TrimGroup,     L"終端",                                 10,  80,  80,  24},
    {ControlKind::Label,      ControlId::TailThresholdLabel,  ControlId::TrimGroup,     L"閾値(dB)",                             100, 65,  60,  24},
    {ControlKind::TextVolume, ControlId::TailThreshold,       ControlId::TrimGroup,     L"-96.00",                               100, 80,  60,  24},
    {ControlKind::VScroll,    ControlId::TailThresholdArrows, ControlId::TrimGroup,     nullptr,                                 160, 80,  20,  24},
    {ControlKind::Label,      ControlId::TailMarginLabel,     ControlId::TrimGroup,     L"遊び(秒)",                             190, 65,  60,  24},
    {ControlKind::TextVolume, ControlId::TailMargin,          ControlId::TrimGroup,     L"0.00",                                 190, 80,  60,  24},
    {ControlKind::VScroll,    ControlId::TailMarginArrows,    ControlId::TrimGroup,     nullptr,                                 250, 80,  20,  24},
    {ControlKind::Log,        ControlId::Log,                 kMainWindow,              L"",                                     340, 215, 295, 160},
};
// clang-format on

struct BoxRange {
    int32_t boxId;
    ValueRange range;
};

const BoxRange kRanges[] = {
    {ControlId::VolumePercent, kPercentRange},     {ControlId::VolumeDb, kVolumeDbRange},
    {ControlId::HeadThreshold, kThresholdDbRange}, {ControlId::HeadMargin, kMarginSecRange},
    {ControlId::TailThreshold, kThresholdDbRange}, {ControlId::TailMargin, kMarginSecRange},
};

// Each scroll bar steps the value box in the row before it.
struct ArrowStep {
    int32_t arrowsId;
    float step;
};

const ArrowStep kSteps[] = {
    {ControlId::VolumePercentArrows, 5.0f}, {ControlId::VolumeDbArrows, 0.5f},
    {ControlId::HeadThresholdArrows, 4.0f}, {ControlId::HeadMarginArrows, 0.5f},
    {ControlId::TailThresholdArrows, 4.0f}, {ControlId::TailMarginArrows, 0.5f},
};

struct Dependents {
    int32_t checkboxId;
    std::array<int32_t, 4> controlIds;
};

const Dependents kDependents[] = {
    {ControlId::VolumeCheck,
     {ControlId::VolumePercent, ControlId::VolumePercentArrows, ControlId::VolumeDb, ControlId::VolumeDbArrows}},
    {ControlId::HeadCheck,
     {ControlId::HeadThreshold, ControlId::HeadThresholdArrows, ControlId::HeadMargin, ControlId::HeadMarginArrows}},
    {ControlId::TailCheck,
     {ControlId::TailThreshold, ControlId::TailThresholdArrows, ControlId::TailMargin, ControlId::TailMarginArrows}},
};

std::shared_ptr<ControlItem> Construct(ControlKind kind, HWND parent) {
    switch (kind) {
        case ControlKind::Listbox:
            return std::make_shared<ListboxInfo>(parent);
        case ControlKind::Button:
            return parent != nullptr ? std::make_shared<ButtonInfo>(parent) : std::make_shared<ButtonInfo>();
        case ControlKind::Checkbox:
            return std::make_shared<CheckboxInfo>(parent);
        case ControlKind::Textbox:
            return std::make_shared<TextboxInfo>(parent);
        case ControlKind::Log:
            return std::make_shared<LogInfo>();
        case ControlKind::TextVolume:
            return std::make_shared<TextVolumeInfo>(parent);
        case ControlKind::Label:
            return std::make_shared<LabelInfo>(parent);
        case ControlKind::VScroll:
            return std::make_shared<VScrollInfo>(parent);
        case ControlKind::Group:
            return std::make_shared<GroupInfo>();
    }
    return nullptr;
}

HWND ParentWindow(const ControlRegistry& registry, const Row& row) {
    if (row.parentGroupId == kMainWindow) {
        return nullptr;
    }
    return registry.FindByControlId(row.parentGroupId)->GetHandle();
}

void CreateWindowOf(ControlItem& control, const Row& row) {
    if (row.caption == nullptr) {
        control.CreateUntitled(row.controlId, row.x, row.y, row.width, row.height);
    } else {
        control.Create(row.controlId, row.x, row.y, row.width, row.height, row.caption);
    }
}

void ConfigureValueBox(TextVolumeInfo& box) {
    for (const BoxRange& entry : kRanges) {
        if (entry.boxId == box.controlId) {
            box.SetRange(entry.range.minimum, entry.range.maximum);
        }
    }
}

void ConfigureArrows(VScrollInfo& arrows, const ControlItem& box) {
    for (const ArrowStep& entry : kSteps) {
        if (entry.arrowsId == arrows.controlId) {
            arrows.SetBuddy(box.GetHandle());
            arrows.SetStep(entry.step);
        }
    }
}

// The set-up a row needs between its creation and its registration; the arrows' buddy is the value
// box of the row before.
void Configure(ControlItem& control, const ControlItem* previous) {
    // Stop shares Start's rectangle and appears only while a run is in progress.
    if (control.controlId == ControlId::Stop) {
        ShowWindow(control.GetHandle(), SW_HIDE);
    }
    if (auto* box = dynamic_cast<TextVolumeInfo*>(&control)) {
        ConfigureValueBox(*box);
    }
    if (auto* arrows = dynamic_cast<VScrollInfo*>(&control); arrows != nullptr && previous != nullptr) {
        ConfigureArrows(*arrows, *previous);
    }
}

void AddToCheckbox(const ControlRegistry& registry, const std::shared_ptr<ControlItem>& control) {
    for (const Dependents& entry : kDependents) {
        for (int32_t dependentId : entry.controlIds) {
            if (dependentId == control->controlId) {
                registry.Find<CheckboxInfo>(entry.checkboxId)->AddDependent(control);
            }
        }
    }
}

}  // namespace

void CreateControls() {
    ControlRegistry& registry = ControlRegistry::Instance();
    std::shared_ptr<ControlItem> previous;
    for (const Row& row : kRows) {
        std::shared_ptr<ControlItem> control = Construct(row.kind, ParentWindow(registry, row));
        CreateWindowOf(*control, row);
        Configure(*control, previous.get());
        registry.Register(control);
        AddToCheckbox(registry, control);
        previous = control;
    }
}
