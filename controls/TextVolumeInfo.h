// A numeric value box: clamps to its range, shows two decimals; the percent box writes the gain and
// the percent and dB boxes keep each other in step.
#pragma once

#include "controls/TextboxInfo.h"

class TextVolumeInfo : public TextboxInfo {
public:
    explicit TextVolumeInfo(HWND parent);

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;
    int OnCommand(int32_t code, WPARAM wParam, LPARAM lParam) override;

    virtual void SetValue(float value);
    virtual float GetValue() const;
    virtual void SetRange(float min, float max);
    virtual void SyncPartner();

    float minimum = 0.0f;
    float maximum = 0.0f;
};
