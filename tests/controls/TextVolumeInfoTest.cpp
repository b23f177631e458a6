// The value boxes as a user drives them: typing, committing by leaving the box or by Enter, and the
// partner box following.
#include "controls/TextVolumeInfo.h"

#include "ControlTestHelpers.h"
#include "controls/ControlIds.h"
#include "core/ValueBox.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class TextVolumeInfoTest : public ::testing::Test {
protected:
    TestWindow mainWindow;
    RegistryScope registryScope;
    SettingsScope settingsScope;
    std::shared_ptr<GroupInfo> group = AddGroup(ControlId::VolumeGroup);
    std::shared_ptr<TextVolumeInfo> percent = AddValueBox(*group, ControlId::VolumePercent, 10.0f, 1000.0f, L"100.00");
    std::shared_ptr<TextVolumeInfo> decibels = AddValueBox(*group, ControlId::VolumeDb, -20.0f, 20.0f, L"0.00");
};

// The three ways a typed value is committed: leaving the box, and Enter, which reaches the box
// through the dialog keyboard interface of the message loop, or directly from a run's own pump.
enum class Commit { Leave, EnterInMessageLoop, EnterDuringRun };

void CommitTyped(const TestWindow& mainWindow, HWND box, Commit how) {
    MSG enter = {};
    enter.hwnd = box;
    enter.message = WM_KEYDOWN;
    enter.wParam = VK_RETURN;
    switch (how) {
        case Commit::Leave:
            Leave(box);
            break;
        case Commit::EnterInMessageLoop:
            SetFocus(box);
            EXPECT_TRUE(IsDialogMessageW(mainWindow.Handle(), &enter));
            break;
        case Commit::EnterDuringRun:
            SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
            SendMessageW(box, WM_CHAR, L'\r', 0);
            break;
    }
}

struct TypedValue {
    const char* name;
    bool intoPercentBox;
    const wchar_t* typed;
    const wchar_t* percentShown;
    const wchar_t* decibelsShown;
    float percent;
};

const TypedValue kTypedValues[] = {
    {"percent above its range", true, L"2000", L"1000.00", L"20.00", 1000.0f},
    {"decibels inside the range", false, L"-6", L"50.12", L"-6.00", 50.12f},
    {"letters in the percent box", true, L"abc", L"10.00", L"-20.00", 10.0f},
    {"not-a-number in the percent box", true, L"nan", L"10.00", L"-20.00", 10.0f},
    {"not-a-number in the decibel box", false, L"NaN", L"100.00", L"0.00", 100.0f},
    {"decibels on the lower bound", false, L"-20", L"10.00", L"-20.00", 10.0f},
    {"percent with trailing text", true, L"  50.5%", L"50.50", L"-5.93", 50.5f},
};

TEST_F(TextVolumeInfoTest, CommittingABoxNormalisesItAndTheOtherBoxFollows) {
    for (const Commit how : {Commit::Leave, Commit::EnterInMessageLoop, Commit::EnterDuringRun}) {
        for (const TypedValue& row : kTypedValues) {
            SCOPED_TRACE(std::string(row.name) + ", commit " + std::to_string(static_cast<int>(how)));
            percent->SetValue(100.0f);
            decibels->SetValue(0.0f);
            HWND box = row.intoPercentBox ? percent->GetHandle() : decibels->GetHandle();

            TypeInto(box, row.typed);
            CommitTyped(mainWindow, box, how);

            EXPECT_EQ(WindowText(percent->GetHandle()), row.percentShown);
            EXPECT_EQ(WindowText(decibels->GetHandle()), row.decibelsShown);
            EXPECT_EQ(percent->GetValue(), row.percent);
        }
    }
}

TEST_F(TextVolumeInfoTest, TypedTextIsNotTheValueUntilCommitted) {
    TypeInto(percent->GetHandle(), L"2000");

    EXPECT_EQ(WindowText(percent->GetHandle()), L"2000");
    EXPECT_EQ(percent->GetValue(), 100.0f);
    EXPECT_EQ(WindowText(decibels->GetHandle()), L"0.00");
    EXPECT_EQ(decibels->GetValue(), 0.0f);
}

// 30.00 % shows as -10.46 dB, and -10.46 dB would be 29.99 %.
TEST_F(TextVolumeInfoTest, CommittingAnUnchangedBoxLeavesTheOtherBoxAsItIs) {
    TypeInto(percent->GetHandle(), L"30");
    Leave(percent->GetHandle());
    ASSERT_EQ(WindowText(decibels->GetHandle()), L"-10.46");

    for (const Commit how : {Commit::Leave, Commit::EnterInMessageLoop, Commit::EnterDuringRun}) {
        CommitTyped(mainWindow, decibels->GetHandle(), how);

        EXPECT_EQ(WindowText(percent->GetHandle()), L"30.00");
        EXPECT_EQ(percent->GetValue(), 30.0f);
    }
}

// The layout creates each box with its initial text, then gives it its range.
TEST_F(TextVolumeInfoTest, TheTextABoxIsCreatedWithIsCommittedWithinItsRange) {
    const auto inRange = AddValueBox(*group, ControlId::HeadThreshold, -96.0f, -12.0f, L"-50");
    const auto outOfRange = AddValueBox(*group, ControlId::TailThreshold, -96.0f, -12.0f, L"-200");

    EXPECT_EQ(inRange->GetValue(), -50.0f);
    EXPECT_EQ(WindowText(inRange->GetHandle()), L"-50.00");
    EXPECT_EQ(outOfRange->GetValue(), -96.0f);
    EXPECT_EQ(WindowText(outOfRange->GetHandle()), L"-96.00");
}

// The command line takes its values through the core's box rules; the window's box must hold the
// same value for each, so that both programs process a file alike.
TEST_F(TextVolumeInfoTest, BoxHoldsWhatTheCommandLineTakes) {
    const float values[] = {2000.0f, 5.0f, 50.006f, 10.125f, 0.375f, -0.001f, -6.005f, -200.0f};
    const ValueRange ranges[] = {kPercentRange, kVolumeDbRange, kThresholdDbRange, kMarginSecRange};
    for (const ValueRange& range : ranges) {
        percent->SetRange(range.minimum, range.maximum);
        for (const float value : values) {
            percent->SetValue(value);
            EXPECT_EQ(percent->GetValue(), BoxValue(value, range)) << value << " in " << range.minimum;
            EXPECT_EQ(WindowText(percent->GetHandle()), Utf16FromUtf8(BoxText(BoxValue(value, range))));
        }
    }
}

}  // namespace
