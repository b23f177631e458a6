// Tools shared by the control tests: reading and typing window text, leaving a box, building
// registered value boxes and arrows, and a guard for the process-wide processing settings.
#pragma once

#include "controls/ControlRegistry.h"
#include "controls/GroupInfo.h"
#include "controls/TextVolumeInfo.h"
#include "controls/VScrollInfo.h"
#include "core/ProcessingSettings.h"

#include <windows.h>

#include <memory>
#include <string>

inline std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Replaces the box's text the way a user does: select everything, then type each character.
inline void TypeInto(HWND edit, const wchar_t* text) {
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        SendMessageW(edit, WM_CHAR, static_cast<WPARAM>(*c), 0);
    }
}

// Gives the box the focus and takes it away again, so that it reports EN_KILLFOCUS to its parent.
inline void Leave(HWND edit) {
    SetFocus(edit);
    SetFocus(nullptr);
}

template <class T>
std::shared_ptr<T> Registered(std::shared_ptr<T> control) {
    ControlRegistry::Instance().Register(control);
    return control;
}

inline std::shared_ptr<GroupInfo> AddGroup(int32_t id) {
    auto group = std::make_shared<GroupInfo>();
    group->Create(id, 0, 0, 400, 120, L"group");
    return Registered(group);
}

inline std::shared_ptr<TextVolumeInfo> AddValueBox(const GroupInfo& group, int32_t id, float minimum, float maximum,
                                                   const wchar_t* text) {
    auto box = std::make_shared<TextVolumeInfo>(group.GetHandle());
    box->Create(id, 10 + (id % 10) * 30, 35, 60, 24, text);
    box->SetRange(minimum, maximum);
    return Registered(box);
}

inline std::shared_ptr<VScrollInfo> AddArrows(const GroupInfo& group, int32_t id, const TextVolumeInfo& box,
                                              float step) {
    auto arrows = std::make_shared<VScrollInfo>(group.GetHandle());
    arrows->CreateUntitled(id, 10 + (id % 10) * 30, 60, 20, 24);
    arrows->SetBuddy(box.GetHandle());
    arrows->SetStep(step);
    return Registered(arrows);
}

// Puts back every processing value a test may change, since the settings are shared by the process.
class SettingsScope {
public:
    SettingsScope()
        : gain(Settings().gain),
          headThresholdDb(Settings().headThresholdDb),
          headMarginSec(Settings().headMarginSec),
          tailThresholdDb(Settings().tailThresholdDb),
          tailMarginSec(Settings().tailMarginSec),
          cancelRequested(Settings().cancelRequested) {}
    ~SettingsScope() {
        Settings().gain = gain;
        Settings().headThresholdDb = headThresholdDb;
        Settings().headMarginSec = headMarginSec;
        Settings().tailThresholdDb = tailThresholdDb;
        Settings().tailMarginSec = tailMarginSec;
        Settings().cancelRequested = cancelRequested;
    }
    SettingsScope(const SettingsScope&) = delete;
    SettingsScope& operator=(const SettingsScope&) = delete;

private:
    static ProcessingSettings& Settings() { return ProcessingSettings::Instance(); }

    float gain;
    float headThresholdDb;
    float headMarginSec;
    float tailThresholdDb;
    float tailMarginSec;
    bool cancelRequested;
};
