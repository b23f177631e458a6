// The check boxes: a click switches the dependents on or off and sets the check box's processing
// values to what the window shows: neutral when unchecked, the boxes' values when checked.
#include "controls/CheckboxInfo.h"

#include "ControlTestHelpers.h"
#include "controls/ControlIds.h"
#include "controls/LabelInfo.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <vector>

namespace {

using SettingsField = std::atomic<float> ProcessingSettings::*;

constexpr std::array<SettingsField, 5> kAllFields = {
    &ProcessingSettings::gain, &ProcessingSettings::headThresholdDb, &ProcessingSettings::headMarginSec,
    &ProcessingSettings::tailThresholdDb, &ProcessingSettings::tailMarginSec};

struct CheckboxRow {
    int32_t checkboxId;
    std::array<int32_t, 4> dependentIds;  // value box, its arrows, value box, its arrows
    std::vector<SettingsField> neutralFields;
    float neutralValue;
    // What the boxes "12.00" and "1.50" give each field when the check box is ticked again.
    std::vector<float> shownValues;
};

const CheckboxRow kCheckboxes[] = {
    {ControlId::VolumeCheck,
     {ControlId::VolumePercent, ControlId::VolumePercentArrows, ControlId::VolumeDb, ControlId::VolumeDbArrows},
     {&ProcessingSettings::gain},
     1.0f,
     {0.12f}},
    {ControlId::HeadCheck,
     {ControlId::HeadThreshold, ControlId::HeadThresholdArrows, ControlId::HeadMargin, ControlId::HeadMarginArrows},
     {&ProcessingSettings::headThresholdDb, &ProcessingSettings::headMarginSec},
     0.0f,
     {12.0f, 1.5f}},
    {ControlId::TailCheck,
     {ControlId::TailThreshold, ControlId::TailThresholdArrows, ControlId::TailMargin, ControlId::TailMarginArrows},
     {&ProcessingSettings::tailThresholdDb, &ProcessingSettings::tailMarginSec},
     0.0f,
     {12.0f, 1.5f}},
};

constexpr const wchar_t* kShownTexts[] = {L"12.00", L"1.50"};

void SetAllFields(float value) {
    for (SettingsField field : kAllFields) {
        ProcessingSettings::Instance().*field = value;
    }
}

// The index of the field among the check box's own fields, or -1.
int OwnFieldIndex(const CheckboxRow& row, SettingsField field) {
    for (size_t i = 0; i < row.neutralFields.size(); ++i) {
        if (row.neutralFields[i] == field) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

class CheckboxInfoTest : public ::testing::Test {
protected:
    // A check box with its four dependents and a label beside them, as the window groups them.
    void Build(const CheckboxRow& row) {
        checkbox = std::make_shared<CheckboxInfo>(group->GetHandle());
        checkbox->Create(row.checkboxId, 10, 35, 80, 24, L"check");
        Registered(checkbox);
        label = std::make_shared<LabelInfo>(group->GetHandle());
        label->Create(row.checkboxId + 1, 100, 20, 60, 24, L"label");
        Registered(label);
        for (size_t i = 0; i < row.dependentIds.size(); i += 2) {
            auto box = AddValueBox(*group, row.dependentIds[i], -20.0f, 20.0f, kShownTexts[i / 2]);
            auto arrows = AddArrows(*group, row.dependentIds[i + 1], *box, 0.5f);
            checkbox->AddDependent(box);
            checkbox->AddDependent(arrows);
        }
    }

    void Click() { SendMessageW(checkbox->GetHandle(), BM_CLICK, 0, 0); }

    void ExpectDependentsEnabled(bool enabled) {
        for (const auto& dependent : checkbox->dependents) {
            SCOPED_TRACE(dependent->controlId);
            EXPECT_EQ(dependent->IsEnabled(), enabled);
            EXPECT_EQ(IsWindowEnabled(dependent->GetHandle()) != FALSE, enabled);
        }
        EXPECT_TRUE(label->IsEnabled());
        EXPECT_TRUE(IsWindowEnabled(label->GetHandle()));
    }

    TestWindow mainWindow;
    RegistryScope registryScope;
    SettingsScope settingsScope;
    std::shared_ptr<GroupInfo> group = AddGroup(ControlId::TrimGroup);
    std::shared_ptr<CheckboxInfo> checkbox;
    std::shared_ptr<LabelInfo> label;
};

TEST_F(CheckboxInfoTest, ClicksSwitchTheDependentsAndSetTheirValuesToWhatTheWindowShows) {
    for (const CheckboxRow& row : kCheckboxes) {
        SCOPED_TRACE(row.checkboxId);
        RegistryScope perRow;
        Build(row);
        ASSERT_EQ(SendMessageW(checkbox->GetHandle(), BM_GETCHECK, 0, 0), BST_CHECKED);
        SetAllFields(0.25f);

        Click();

        EXPECT_EQ(SendMessageW(checkbox->GetHandle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        ExpectDependentsEnabled(false);
        for (SettingsField field : kAllFields) {
            const float expected = OwnFieldIndex(row, field) >= 0 ? row.neutralValue : 0.25f;
            EXPECT_EQ(ProcessingSettings::Instance().*field, expected);
        }

        SetAllFields(0.5f);
        Click();

        EXPECT_EQ(SendMessageW(checkbox->GetHandle(), BM_GETCHECK, 0, 0), BST_CHECKED);
        ExpectDependentsEnabled(true);
        for (SettingsField field : kAllFields) {
            const int own = OwnFieldIndex(row, field);
            EXPECT_EQ(ProcessingSettings::Instance().*field, own >= 0 ? row.shownValues[own] : 0.5f);
        }
    }
}

TEST_F(CheckboxInfoTest, ANotificationOtherThanAClickChangesNothing) {
    Build(kCheckboxes[0]);
    SendMessageW(checkbox->GetHandle(), BM_SETCHECK, BST_UNCHECKED, 0);
    SetAllFields(0.25f);

    SendMessageW(mainWindow.Handle(), WM_COMMAND, MAKEWPARAM(checkbox->childId, BN_DOUBLECLICKED),
                 reinterpret_cast<LPARAM>(checkbox->GetHandle()));

    ExpectDependentsEnabled(true);
    for (SettingsField field : kAllFields) {
        EXPECT_EQ(ProcessingSettings::Instance().*field, 0.25f);
    }
}

}  // namespace
