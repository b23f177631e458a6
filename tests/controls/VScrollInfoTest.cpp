// The scroll arrows: a click on either arrow steps the buddy box from what it shows, clamped, and
// commits it; its partner follows.
#include "controls/VScrollInfo.h"

#include "ControlTestHelpers.h"
#include "controls/ControlIds.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

namespace {

class VScrollInfoTest : public ::testing::Test {
protected:
    // What the scroll bar sends its parent, the group box, when an arrow is clicked.
    void Click(const VScrollInfo& arrows, int scrollCode) {
        SendMessageW(group->GetHandle(), WM_VSCROLL, MAKEWPARAM(scrollCode, 0),
                     reinterpret_cast<LPARAM>(arrows.GetHandle()));
    }

    TestWindow mainWindow;
    RegistryScope registryScope;
    SettingsScope settingsScope;
    std::shared_ptr<GroupInfo> group = AddGroup(ControlId::VolumeGroup);
    std::shared_ptr<TextVolumeInfo> percent = AddValueBox(*group, ControlId::VolumePercent, 10.0f, 1000.0f, L"100.00");
    std::shared_ptr<VScrollInfo> percentArrows = AddArrows(*group, ControlId::VolumePercentArrows, *percent, 5.0f);
    std::shared_ptr<TextVolumeInfo> decibels = AddValueBox(*group, ControlId::VolumeDb, -20.0f, 20.0f, L"0.00");
    std::shared_ptr<TextVolumeInfo> threshold =
        AddValueBox(*group, ControlId::HeadThreshold, -96.0f, -12.0f, L"-96.00");
    std::shared_ptr<VScrollInfo> thresholdArrows = AddArrows(*group, ControlId::HeadThresholdArrows, *threshold, 4.0f);
};

TEST_F(VScrollInfoTest, ArrowsStepTheBuddyWithinItsRange) {
    struct Row {
        const char* name;
        bool percentBox;
        const wchar_t* before;
        int scrollCode;
        const wchar_t* after;
    };
    const Row rows[] = {
        {"percent up", true, L"100.00", SB_LINEUP, L"105.00"},
        {"percent down", true, L"100.00", SB_LINEDOWN, L"95.00"},
        {"percent down at its minimum", true, L"10.00", SB_LINEDOWN, L"10.00"},
        {"threshold up from its minimum", false, L"-96.00", SB_LINEUP, L"-92.00"},
        {"threshold up at its maximum", false, L"-12.00", SB_LINEUP, L"-12.00"},
        {"page up is not an arrow", true, L"100.00", SB_PAGEUP, L"100.00"},
        {"thumb drag is not an arrow", false, L"-50.00", SB_THUMBTRACK, L"-50.00"},
        {"unparsable text steps from zero", false, L"abc", SB_LINEDOWN, L"-12.00"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TextVolumeInfo& box = row.percentBox ? *percent : *threshold;
        box.SetText(row.before);

        Click(row.percentBox ? *percentArrows : *thresholdArrows, row.scrollCode);

        EXPECT_EQ(WindowText(box.GetHandle()), row.after);
    }
}

TEST_F(VScrollInfoTest, AStepIsCommittedAndTheDecibelBoxFollows) {
    Click(*percentArrows, SB_LINEUP);

    EXPECT_EQ(WindowText(percent->GetHandle()), L"105.00");
    EXPECT_EQ(percent->GetValue(), 105.0f);
    EXPECT_EQ(WindowText(decibels->GetHandle()), L"0.42");
    EXPECT_EQ(decibels->GetValue(), 0.42f);
}

}  // namespace
