// A numeric value box. Its value is the one last committed: when the box is left, Enter is pressed in
// it, an arrow steps it or the program sets it; it is then clamped and rounded as the box shows it.
// Text typed since counts only once it is committed. The percent and dB boxes follow each other.
#pragma once

#include "controls/TextboxInfo.h"

class TextVolumeInfo : public TextboxInfo {
public:
    explicit TextVolumeInfo(HWND parent);

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;
    int OnCommand(int32_t code, WPARAM wParam, LPARAM lParam) override;

    // Commits the value, clamped to the range and rounded to the two decimals shown, and shows it.
    virtual void SetValue(float value);
    // The committed value: text typed since does not count.
    virtual float GetValue() const;
    // The new range holds the box's text as its value, so the text it was created with counts.
    virtual void SetRange(float min, float max);
    virtual void SyncPartner();

    // Commits the text as it stands; the partner box follows when that changed the value.
    void Commit();
    // Commits the text as it stands moved by amount, as an arrow does.
    void Step(float amount);

    float minimum = 0.0f;
    float maximum = 0.0f;

private:
    void CommitValue(float value);
    // The number the text reads as now, committed or not.
    float TextValue() const;

    float committed = 0.0f;
};

// The value box that has the keyboard focus, or null.
TextVolumeInfo* FocusedValueBox();
