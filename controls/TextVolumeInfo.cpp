// A numeric value box: its value lives in its text, clamped to its range and shown with two
// decimals; the percent box also writes the gain, and the percent and dB boxes follow each other.
#include "controls/TextVolumeInfo.h"

#include "batch/BatchRun.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "core/ProcessingSettings.h"
#include "core/Utf16.h"
#include "core/ValueBox.h"
#include "core/VolumeUnits.h"

#include <cmath>
#include <cwchar>

namespace {

constexpr DWORD kValueStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_RIGHT;
static_assert(kValueStyle == 0x50810002, "value box style");

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
    value = ClampToRange(value, minimum, maximum);
    // During a run each file takes the gain at its start, so that no file changes half-way.
    if (controlId == ControlId::VolumePercent && !RunInProgress()) {
        ProcessingSettings::Instance().gain = value * 0.01f;
    }
    SetText(Utf16FromUtf8(BoxText(value)).c_str());
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
    if (controlId == ControlId::VolumePercent) {
        if (TextVolumeInfo* decibels = controls.Find<TextVolumeInfo>(ControlId::VolumeDb)) {
            decibels->SetValue(PercentToDecibels(value));
        }
    } else if (controlId == ControlId::VolumeDb) {
        if (TextVolumeInfo* percent = controls.Find<TextVolumeInfo>(ControlId::VolumePercent)) {
            percent->SetValue(DecibelsToPercent(value));
        }
    }
}
