// The complete main window as the program builds it: each of the 34 controls with its class,
// style, parent, identifiers, rectangle and text, the configuration of the value boxes, arrows and
// check boxes, and the look-ups whose two numberings overlap.
#include "app/Layout.h"

#include "support/TheProgram.h"
#include "controls/CheckboxInfo.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/TextVolumeInfo.h"
#include "controls/VScrollInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int32_t kMainWindow = 0;

struct ExpectedControl {
    const wchar_t* windowClass;
    ControlKind kind;
    int32_t controlId;
    int32_t parentGroupId;
    const wchar_t* text;
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    LONG_PTR style;
    LONG_PTR exStyle = 0;
};

// Group boxes are control parents, so that dialog navigation enters them.
constexpr LONG_PTR kGroupExStyle = WS_EX_CONTROLPARENT;

const ExpectedControl kControls[] = {
    {L"Button", ControlKind::Group, ControlId::FileListGroup, kMainWindow, L"音声ファイルリスト（D&&Dで追加可能）", 5,
     5, 330, 260, 0x50010007, kGroupExStyle},
    {L"ListBox", ControlKind::Listbox, ControlId::FileList, ControlId::FileListGroup, L"", 5, 20, 320, 200, 0x50A10801,
     WS_EX_ACCEPTFILES},
    {L"Button", ControlKind::Button, ControlId::AddButton, ControlId::FileListGroup, L"追加", 5, 225, 60, 24,
     0x50010000},
    {L"Button", ControlKind::Button, ControlId::DeleteButton, ControlId::FileListGroup, L"削除", 85, 225, 60, 24,
     0x50010000},
    {L"Button", ControlKind::Button, ControlId::DeleteAllButton, ControlId::FileListGroup, L"全削除", 265, 225, 60, 24,
     0x50010000},
    {L"Button", ControlKind::Group, ControlId::OutputGroup, kMainWindow, L"出力フォルダ", 5, 275, 330, 50, 0x50010007,
     kGroupExStyle},
    {L"Edit", ControlKind::Textbox, ControlId::OutputFolder, ControlId::OutputGroup, L"", 5, 20, 290, 24, 0x50810080},
    {L"Button", ControlKind::Button, ControlId::BrowseButton, ControlId::OutputGroup, L"...", 295, 20, 30, 24,
     0x50010000},
    {L"Button", ControlKind::Button, ControlId::Start, kMainWindow, L"開始", 265, 330, 60, 40, 0x50010000},
    {L"Button", ControlKind::Button, ControlId::Stop, kMainWindow, L"停止", 265, 330, 60, 40, 0x40010000},
    {L"Button", ControlKind::Group, ControlId::VolumeGroup, kMainWindow, L"音量調整", 340, 5, 295, 70, 0x50010007,
     kGroupExStyle},
    {L"Button", ControlKind::Checkbox, ControlId::VolumeCheck, ControlId::VolumeGroup, L"音量変更", 10, 35, 80, 24,
     0x50010003},
    {L"Static", ControlKind::Label, ControlId::VolumePercentLabel, ControlId::VolumeGroup, L"音量(%)", 100, 20, 60, 24,
     0x50000000},
    {L"Edit", ControlKind::TextVolume, ControlId::VolumePercent, ControlId::VolumeGroup, L"100.00", 100, 35, 60, 24,
     0x50810002},
    {L"ScrollBar", ControlKind::VScroll, ControlId::VolumePercentArrows, ControlId::VolumeGroup, L"", 160, 35, 20, 24,
     0x50000001},
    {L"Static", ControlKind::Label, ControlId::VolumeDbLabel, ControlId::VolumeGroup, L"音量(dB)", 190, 20, 60, 24,
     0x50000000},
    {L"Edit", ControlKind::TextVolume, ControlId::VolumeDb, ControlId::VolumeGroup, L"0.00", 190, 35, 60, 24,
     0x50810002},
    {L"ScrollBar", ControlKind::VScroll, ControlId::VolumeDbArrows, ControlId::VolumeGroup, L"", 250, 35, 20, 24,
     0x50000001},
    {L"Button", ControlKind::Group, ControlId::TrimGroup, kMainWindow, L"両端無音削除", 340, 90, 295, 115, 0x50010007,
     kGroupExStyle},
    {L"Button", ControlKind::Checkbox, ControlId::HeadCheck, ControlId::TrimGroup, L"先頭", 10, 35, 80, 24, 0x50010003},
    {L"Static", ControlKind::Label, ControlId::HeadThresholdLabel, ControlId::TrimGroup, L"閾値(dB)", 100, 20, 60, 24,
     0x50000000},
    {L"Edit", ControlKind::TextVolume, ControlId::HeadThreshold, ControlId::TrimGroup, L"-96.00", 100, 35, 60, 24,
     0x50810002},
    {L"ScrollBar", ControlKind::VScroll, ControlId::HeadThresholdArrows, ControlId::TrimGroup, L"", 160, 35, 20, 24,
     0x50000001},
    {L"Static", ControlKind::Label, ControlId::HeadMarginLabel, ControlId::TrimGroup, L"遊び(秒)", 190, 20, 60, 24,
     0x50000000},
    {L"Edit", ControlKind::TextVolume, ControlId::HeadMargin, ControlId::TrimGroup, L"0.00", 190, 35, 60, 24,
     0x50810002},
    {L"ScrollBar", ControlKind::VScroll, ControlId::HeadMarginArrows, ControlId::TrimGroup, L"", 250, 35, 20, 24,
     0x50000001},
    {L"Button", ControlKind::Checkbox, ControlId::TailCheck, ControlId::TrimGroup, L"終端", 10, 80, 80, 24, 0x50010003},
    {L"Static", ControlKind::Label, ControlId::TailThresholdLabel, ControlId::TrimGroup, L"閾値(dB)", 100, 65, 60, 24,
     0x50000000},
    {L"Edit", ControlKind::TextVolume, ControlId::TailThreshold, ControlId::TrimGroup, L"-96.00", 100, 80, 60, 24,
     0x50810002},
    {L"ScrollBar", ControlKind::VScroll, ControlId::TailThresholdArrows, ControlId::TrimGroup, L"", 160, 80, 20, 24,
     0x50000001},
    {L"Static", ControlKind::Label, ControlId::TailMarginLabel, ControlId::TrimGroup, L"遊び(秒)", 190, 65, 60, 24,
     0x50000000},
    {L"Edit", ControlKind::TextVolume, ControlId::TailMargin, ControlId::TrimGroup, L"0.00", 190, 80, 60, 24,
     0x50810002},
    {L"ScrollBar", ControlKind::VScroll, ControlId::TailMarginArrows, ControlId::TrimGroup, L"", 250, 80, 20, 24,
     0x50000001},
    {L"Edit", ControlKind::Log, ControlId::Log, kMainWindow, L"", 340, 215, 295, 160, 0x50B008C4},
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return text;
}

RECT RectInParent(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Styles that the controls adjust themselves after creation, put back to what was asked for: a
// list box drops its scroll bar while every entry fits, an edit control takes over its border.
LONG_PTR RequestedStyle(HWND window, ControlKind kind) {
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    if (kind == ControlKind::Listbox) {
        style |= WS_VSCROLL;
    }
    if (kind == ControlKind::Textbox || kind == ControlKind::TextVolume || kind == ControlKind::Log) {
        style |= WS_BORDER;
    }
    return style;
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, TheMainWindow()); }

    static ControlRegistry& Registry() { return ControlRegistry::Instance(); }
};

TEST_F(LayoutTest, RegistersTheControlsInTableOrder) {
    const auto& controls = Registry().controls;
    ASSERT_EQ(std::size(kControls), controls.size());
    for (size_t row = 0; row < controls.size(); ++row) {
        EXPECT_EQ(kControls[row].controlId, controls[row]->controlId) << "row " << row + 1;
        EXPECT_EQ(static_cast<int32_t>(100 + row), controls[row]->childId) << "row " << row + 1;
    }
}

TEST_F(LayoutTest, EachControlHasItsClassStyleParentIdRectangleAndText) {
    for (size_t row = 0; row < std::size(kControls); ++row) {
        const ExpectedControl& expected = kControls[row];
        SCOPED_TRACE("controlId " + std::to_string(expected.controlId));
        ControlItem* control = Registry().FindByChildId(static_cast<int32_t>(100 + row));
        ASSERT_NE(nullptr, control);
        HWND window = control->GetHandle();
        ASSERT_NE(nullptr, window);

        EXPECT_EQ(expected.kind, control->kind);
        EXPECT_EQ(0, lstrcmpiW(expected.windowClass, ClassOf(window).c_str())) << ClassOf(window).size();
        EXPECT_EQ(expected.style, RequestedStyle(window, expected.kind));
        EXPECT_EQ(expected.exStyle, GetWindowLongPtrW(window, GWL_EXSTYLE));
        HWND parent = expected.parentGroupId == kMainWindow
                          ? TheMainWindow()
                          : Registry().FindByControlId(expected.parentGroupId)->GetHandle();
        EXPECT_EQ(parent, GetParent(window));
        EXPECT_EQ(control->childId, GetDlgCtrlID(window));
        EXPECT_EQ(expected.text, TextOf(window));

        const RECT rect = RectInParent(window);
        EXPECT_EQ(expected.x, rect.left);
        EXPECT_EQ(expected.y, rect.top);
        EXPECT_EQ(expected.width, rect.right - rect.left);
        EXPECT_EQ(expected.height, rect.bottom - rect.top);
    }
}

TEST_F(LayoutTest, EveryControlLiesInsideTheClientArea) {
    for (const auto& control : Registry().controls) {
        RECT rect = {};
        GetWindowRect(control->GetHandle(), &rect);
        MapWindowPoints(nullptr, TheMainWindow(), reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_GE(rect.left, 0) << control->controlId;
        EXPECT_GE(rect.top, 0) << control->controlId;
        EXPECT_LE(rect.right, 640) << control->controlId;
        EXPECT_LE(rect.bottom, 380) << control->controlId;
    }
}

TEST_F(LayoutTest, OverlappingNumbersNameDifferentControlsUnderEachKey) {
    // Start is row 8 and the log row 33, so Start's childId is the log's controlId and the log's
    // childId is Stop's controlId.
    EXPECT_EQ(ControlKind::Log, Registry().FindByControlId(ControlId::Log)->kind);
    EXPECT_EQ(ControlId::Start, Registry().FindByChildId(ControlId::Log)->controlId);
    EXPECT_EQ(ControlKind::Log, Registry().FindByChildId(ControlId::Stop)->kind);
    EXPECT_EQ(ControlId::Stop, Registry().FindByControlId(ControlId::Stop)->controlId);
    EXPECT_EQ(ControlKind::Button, Registry().FindByControlId(ControlId::Stop)->kind);
    EXPECT_EQ(ControlKind::Group, Registry().FindByChildId(ControlId::FileList)->kind);
    EXPECT_EQ(ControlKind::Listbox, Registry().FindByControlId(ControlId::FileList)->kind);
    // No control has this one.
    EXPECT_EQ(nullptr, Registry().FindByControlId(107));
}

// Tab as the message loop hands it to the dialog keyboard interface.
void PressTab() {
    MSG message = {};
    message.hwnd = GetFocus();
    message.message = WM_KEYDOWN;
    message.wParam = VK_TAB;
    IsDialogMessageW(TheMainWindow(), &message);
}

TEST_F(LayoutTest, TabReachesEveryTabStopInsideAndOutsideTheGroupBoxesInTableOrder) {
    // The scroll arrows, labels and the log are no tab stops, and Stop is hidden.
    const std::vector<int32_t> expected = {
        ControlId::AddButton,    ControlId::DeleteButton,  ControlId::DeleteAllButton, ControlId::OutputFolder,
        ControlId::BrowseButton, ControlId::Start,         ControlId::VolumeCheck,     ControlId::VolumePercent,
        ControlId::VolumeDb,     ControlId::HeadCheck,     ControlId::HeadThreshold,   ControlId::HeadMargin,
        ControlId::TailCheck,    ControlId::TailThreshold, ControlId::TailMargin,      ControlId::FileList};
    SetFocus(Registry().FindByControlId(ControlId::FileList)->GetHandle());
    std::vector<int32_t> visited;
    for (size_t i = 0; i < expected.size(); ++i) {
        PressTab();
        const ControlItem* focused = Registry().FindByWindow(GetFocus());
        visited.push_back(focused == nullptr ? 0 : focused->controlId);
    }
    EXPECT_EQ(expected, visited);
}

TEST_F(LayoutTest, StopIsHiddenOnStartsRectangle) {
    HWND start = Registry().FindByControlId(ControlId::Start)->GetHandle();
    HWND stop = Registry().FindByControlId(ControlId::Stop)->GetHandle();
    EXPECT_TRUE(GetWindowLongPtrW(start, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongPtrW(stop, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(LayoutTest, ValueBoxesHaveTheirRangesAndArrowsStepTheBoxBeside) {
    struct Expected {
        int32_t boxId;
        float minimum;
        float maximum;
        int32_t arrowsId;
        float step;
    };
    const Expected rows[] = {
        {ControlId::VolumePercent, 10.0f, 1000.0f, ControlId::VolumePercentArrows, 5.0f},
        {ControlId::VolumeDb, -20.0f, 20.0f, ControlId::VolumeDbArrows, 0.5f},
        {ControlId::HeadThreshold, -96.0f, -12.0f, ControlId::HeadThresholdArrows, 4.0f},
        {ControlId::HeadMargin, -20.0f, 20.0f, ControlId::HeadMarginArrows, 0.5f},
        {ControlId::TailThreshold, -96.0f, -12.0f, ControlId::TailThresholdArrows, 4.0f},
        {ControlId::TailMargin, -20.0f, 20.0f, ControlId::TailMarginArrows, 0.5f},
    };
    for (const Expected& row : rows) {
        SCOPED_TRACE("box " + std::to_string(row.boxId));
        auto* box = Registry().Find<TextVolumeInfo>(row.boxId);
        auto* arrows = Registry().Find<VScrollInfo>(row.arrowsId);
        ASSERT_NE(nullptr, box);
        ASSERT_NE(nullptr, arrows);
        EXPECT_EQ(row.minimum, box->minimum);
        EXPECT_EQ(row.maximum, box->maximum);
        EXPECT_EQ(box->GetHandle(), arrows->buddy);
        EXPECT_EQ(row.step, arrows->step);
    }
}

TEST_F(LayoutTest, CheckBoxesStartCheckedWithTheirDependentsInOrder) {
    const std::pair<int32_t, std::vector<int32_t>> rows[] = {
        {ControlId::VolumeCheck,
         {ControlId::VolumePercent, ControlId::VolumePercentArrows, ControlId::VolumeDb, ControlId::VolumeDbArrows}},
        {ControlId::HeadCheck,
         {ControlId::HeadThreshold, ControlId::HeadThresholdArrows, ControlId::HeadMargin,
          ControlId::HeadMarginArrows}},
        {ControlId::TailCheck,
         {ControlId::TailThreshold, ControlId::TailThresholdArrows, ControlId::TailMargin,
          ControlId::TailMarginArrows}},
    };
    for (const auto& [checkboxId, dependentIds] : rows) {
        auto* checkbox = Registry().Find<CheckboxInfo>(checkboxId);
        ASSERT_NE(nullptr, checkbox);
        EXPECT_EQ(BST_CHECKED, SendMessageW(checkbox->GetHandle(), BM_GETCHECK, 0, 0));
        std::vector<int32_t> actual;
        for (const auto& dependent : checkbox->dependents) {
            actual.push_back(dependent->controlId);
        }
        EXPECT_EQ(dependentIds, actual) << checkboxId;
    }
}

TEST_F(LayoutTest, EveryControlIsEnabledAndAllButTheArrowsHaveTheirOwnFont) {
    for (const auto& control : Registry().controls) {
        SCOPED_TRACE("controlId " + std::to_string(control->controlId));
        EXPECT_TRUE(control->IsEnabled());
        EXPECT_TRUE(IsWindowEnabled(control->GetHandle()));
        if (control->kind == ControlKind::VScroll) {
            EXPECT_EQ(nullptr, control->font.get());
            continue;
        }
        ASSERT_NE(nullptr, control->font.get());
        EXPECT_EQ(reinterpret_cast<LRESULT>(control->font.get()), SendMessageW(control->GetHandle(), WM_GETFONT, 0, 0));
        for (const auto& other : Registry().controls) {
            EXPECT_TRUE(other == control || other->font.get() != control->font.get());
        }
    }
}

}  // namespace
