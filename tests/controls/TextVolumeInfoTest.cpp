// The value boxes as a user drives them: typing, leaving the box, and the partner box following.
#include "controls/TextVolumeInfo.h"

#include "ControlTestHelpers.h"
#include "controls/ControlIds.h"
#include "core/ValueBox.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

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

struct TypedValue {
    const char* name;
    bool intoPercentBox;
    const wchar_t* typed;
    const wchar_t* percentShown;
    const wchar_t* decibelsShown;
    float gain;
};

const TypedValue kTypedValues[] = {
    {"percent above its range", true, L"2000", L"1000.00", L"20.00", 10.0f},
    {"decibels inside the range", false, L"-6", L"50.12", L"-6.00", 0.5011872f},
    {"letters in the percent box", true, L"abc", L"10.00", L"-20.00", 0.1f},
    {"not-a-number in the percent box", true, L"nan", L"10.00", L"-20.00", 0.1f},
    {"not-a-number in the decibel box", false, L"NaN", L"100.00", L"0.00", 1.0f},
    {"decibels on the lower bound", false, L"-20", L"10.00", L"-20.00", 0.1f},
    {"percent with trailing text", true, L"  50.5%", L"50.50", L"-5.93", 0.505f},
};

TEST_F(TextVolumeInfoTest, LeavingABoxNormalisesItAndTheOtherBoxFollows) {
    for (const TypedValue& row : kTypedValues) {
        SCOPED_TRACE(row.name);
        percent->SetText(L"100.00");
        decibels->SetText(L"0.00");
        ProcessingSettings::Instance().gain = -1.0f;
        HWND box = row.intoPercentBox ? percent->GetHandle() : decibels->GetHandle();

        TypeInto(box, row.typed);
        Leave(box);

        EXPECT_EQ(WindowText(percent->GetHandle()), row.percentShown);
        EXPECT_EQ(WindowText(decibels->GetHandle()), row.decibelsShown);
        EXPECT_NEAR(ProcessingSettings::Instance().gain, row.gain, 1e-5f);
    }
}

TEST_F(TextVolumeInfoTest, TypingWithoutLeavingChangesNothing) {
    ProcessingSettings::Instance().gain = 0.75f;

    TypeInto(percent->GetHandle(), L"2000");

    EXPECT_EQ(WindowText(percent->GetHandle()), L"2000");
    EXPECT_EQ(WindowText(decibels->GetHandle()), L"0.00");
    EXPECT_EQ(ProcessingSettings::Instance().gain, 0.75f);
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
