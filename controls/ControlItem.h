// The base of every control object: the control's window, its two identifiers, its own font and
// its logical enabled flag, with the eleven operations every control answers.
#pragma once

#include "controls/ScopedWin.h"

#include <windows.h>

#include <cstdint>

class ControlRegistry;

enum class ControlKind : int32_t {
    Listbox = 1,
    Button = 2,
    Checkbox = 3,
    Textbox = 4,
    Log = 5,
    TextVolume = 6,
    Label = 7,
    VScroll = 8,
    Group = 9,
};

// Counts every control constructed in the process; a control's childId is 100 + the count before it.
extern int32_t childIdCounter;

class ControlItem {
public:
    ControlItem(HWND parent, ControlKind kind);
    ControlItem(const ControlItem&) = delete;
    ControlItem& operator=(const ControlItem&) = delete;

    // The virtual operations, in slot order.
    virtual ~ControlItem();
    virtual HWND GetHandle() const;
    virtual HWND GetParentHandle() const;
    virtual bool WantsPaint() const;
    virtual void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption);
    virtual void CreateUntitled(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool isEnabled);
    virtual void SetFont(int32_t height, int32_t weight);
    virtual int OnCommand(int32_t code, WPARAM wParam, LPARAM lParam);
    virtual void Paint();

    HWND window = nullptr;
    HWND parentWindow;
    int32_t childId;
    int32_t controlId = 0;
    ControlKind kind;
    OwnedFont font;
    bool enabled = true;
    ControlRegistry* registry = nullptr;

protected:
    // CreateWindowExW with this control's parent, childId and the module instance; stores the window.
    void CreateControlWindow(DWORD exStyle, const wchar_t* className, const wchar_t* caption, DWORD style, int32_t x,
                             int32_t y, int32_t width, int32_t height);
};
