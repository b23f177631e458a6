// A numeric value box: the value it holds is the one last committed, clamped to its range and shown
// with two decimals; Enter commits like leaving the box, and the percent and dB boxes follow each other.
#include "controls/TextVolumeInfo.h"

#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/ReplacedProcedure.h"
#include "core/Utf16.h"
#include "core/ValueBox.h"

#include <cmath>
#include <cwchar>

namespace {

constexpr DWORD kValueStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_RIGHT;
static_assert(kValueStyle == 0x50810002, "value box style");

bool IsEnterKey(const MSG* message) {
    return message != nullptr && message->message == WM_KEYDOWN && message->wParam == VK_RETURN;
}

TextVolumeInfo* ValueBoxOf(HWND window) {
    return dynamic_cast<TextVolumeInfo*>(ControlRegistry::Instance().FindByWindow(window));
}

// The dialog keyboard interface of the message loop would take Enter for a default button, which the
// window has not; the box asks for the key instead. During a run the run's pump hands it on directly.
LRESULT HandleValueBoxMessage(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETDLGCODE:
            if (IsEnterKey(reinterpret_cast<const MSG*>(lParam))) {
                return CallReplacedProcedure(box, message, wParam, lParam) | DLGC_WANTMESSAGE;
            }
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                if (TextVolumeInfo* control = ValueBoxOf(box)) {
                    control->Commit();
                }
                return 0;
            }
            break;
        case WM_CHAR:
            // Enter's own character, which a single-line box would only answer with a beep.
            if (wParam == L'\r') {
                return 0;
            }
            break;
        default:
            break;
    }
    return CallReplacedProcedure(box, message, wParam, lParam);
}

LRESULT CALLBACK ValueBoxWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWithoutUnwinding(HandleValueBoxMessage, window, message, wParam, lParam);
}

}  // namespace

TextVolumeInfo::TextVolumeInfo(HWND parent) : TextboxInfo(parent, ControlKind::TextVolume) {}

void TextVolumeInfo::Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) {
    controlId = id;
    CreateControlWindow(0, L"EDIT", caption, kValueStyle, x, y, width, height);
    ReplaceWindowProcedure(window, ValueBoxWindowProc);
    SetFont(12, 400);
}

// A half-typed number is never clamped under the user's fingers: only leaving the box commits it.
int TextVolumeInfo::OnCommand(int32_t code, WPARAM, LPARAM) {
    if (code == EN_KILLFOCUS) {
        Commit();
    }
    return 0;
}

void TextVolumeInfo::SetValue(float value) {
    committed = BoxValue(value, ValueRange{minimum, maximum});
    SetText(Utf16FromUtf8(BoxText(committed)).c_str());
}

float TextVolumeInfo::GetValue() const {
    return committed;
}

void TextVolumeInfo::SetRange(float min, float max) {
    minimum = min;
    maximum = max;
    SetValue(TextValue());
}

void TextVolumeInfo::Commit() {
    CommitValue(TextValue());
}

void TextVolumeInfo::Step(float amount) {
    CommitValue(TextValue() + amount);
}

// Leaving a box unchanged must not move its partner: a round trip through the other unit's two
// decimals would change the volume (30.00 % shows as -10.46 dB, which is 29.99 %).
void TextVolumeInfo::CommitValue(float value) {
    const float before = committed;
    SetValue(value);
    if (committed != before) {
        SyncPartner();
    }
}

// Text that is not a number, "nan" included, reads as 0 so that the clamp always yields a value
// within the range.
float TextVolumeInfo::TextValue() const {
    wchar_t text[kTextCapacity];
    ReadEditLine(window, text);
    float value = 0.0f;
    if (std::swscanf(text, L"%f", &value) != 1 || std::isnan(value)) {
        value = 0.0f;
    }
    return value;
}

void TextVolumeInfo::SyncPartner() {
    const ControlRegistry& controls = ControlRegistry::Instance();
    if (controlId == ControlId::VolumePercent) {
        if (TextVolumeInfo* decibels = controls.Find<TextVolumeInfo>(ControlId::VolumeDb)) {
            decibels->SetValue(PercentToDecibels(committed));
        }
    } else if (controlId == ControlId::VolumeDb) {
        if (TextVolumeInfo* percent = controls.Find<TextVolumeInfo>(ControlId::VolumePercent)) {
            percent->SetValue(DecibelsToPercent(committed));
        }
    }
}

TextVolumeInfo* FocusedValueBox() {
    return ValueBoxOf(GetFocus());
}
