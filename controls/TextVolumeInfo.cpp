// A numeric value box: its value lives in its text, clamped to its range and shown with two
// decimals; the percent box also writes the gain, and the percent and dB boxes follow each other.
#include "controls/TextVolumeInfo.h"

#include "controls/ControlRegistry.h"
#include "core/ProcessingSettings.h"
#include "core/Utf16.h"

#include <cmath>
#include <cwchar>

namespace {

constexpr DWORD kValueStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_RIGHT;
static_assert(kValueStyle == 0x50810002, "value box style");

constexpr int32_t kPercentBoxId = 112;
constexpr int32_t kDecibelBoxId = 115;

// Each step is rounded to a float, so both boxes show the same digits on every build.
float PercentToDecibels(float percent) {
    const float ratio = percent * 0.01f;
    const float exponent = std::log10(ratio);
    return exponent * 20.0f;
}

float DecibelsToPercent(float decibels) {
    const float exponent = decibels / 20.0f;
    const float ratio = std::pow(10.0f, exponent);
    return ratio * 100.0f;
}

}  // namespace

TextVolumeInfo::TextVolumeInfo(HWND parent) : TextboxInfo(parent, ControlKind::TextVolume) {}

void TextVolumeInfo::Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) {
    controlId = id;
    CreateControlWindow(0, L"EDIT", caption, kValueStyle, x, y, width, height);
    SetFont(12, 400);
}

// Only leaving the box counts: a half-typed number is never clamped under the user's fingers.
int TextVolumeInfo::OnCommand(int32_t code, WPARAM, LPARAM) {
    if (code == EN_KILLFOCUS) {
        SetValue(GetValue());
        SyncPartner();
    }
    return 0;
}

void TextVolumeInfo::SetValue(float value) {
    if (value < minimum) {
        value = minimum;
    }
    if (value > maximum) {
        value = maximum;
    }
    if (controlId == kPercentBoxId) {
        ProcessingSettings::Instance().gain = value * 0.01f;
    }
    wchar_t text[kTextCapacity];
    std::swprintf(text, kTextCapacity, L"%.2f", static_cast<double>(value));
    SetText(text);
}

// Text that is not a number, "nan" included, reads as 0 so that the clamp always yields a value
// within the range.
float TextVolumeInfo::GetValue() const {
    wchar_t text[kTextCapacity];
    ReadEditLine(window, text);
    float value = 0.0f;
    if (std::swscanf(text, L"%f", &value) != 1 || std::isnan(value)) {
        value = 0.0f;
    }
    return value;
}

void TextVolumeInfo::SetRange(float min, float max) {
    minimum = min;
    maximum = max;
}

void TextVolumeInfo::SyncPartner() {
    const ControlRegistry& controls = ControlRegistry::Instance();
    const float value = GetValue();
    if (controlId == kPercentBoxId) {
        if (TextVolumeInfo* decibels = controls.Find<TextVolumeInfo>(kDecibelBoxId)) {
            decibels->SetValue(PercentToDecibels(value));
        }
    } else if (controlId == kDecibelBoxId) {
        if (TextVolumeInfo* percent = controls.Find<TextVolumeInfo>(kPercentBoxId)) {
            percent->SetValue(DecibelsToPercent(value));
        }
    }
}
