// A plain single-line text box: the output-folder box.
#pragma once

#include "controls/ControlItem.h"

class TextboxInfo : public ControlItem {
public:
    explicit TextboxInfo(HWND parent);

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override;

    virtual LRESULT SetText(const wchar_t* text);

protected:
    TextboxInfo(HWND parent, ControlKind kind);
};

// Reads a line (line 0 unless given) of an edit control into out (kTextCapacity units), terminated
// after the count the control returns; the count is kept below the capacity so the terminator always
// fits. Returns the number of units read.
int ReadEditLine(HWND edit, wchar_t* out, int line = 0);
