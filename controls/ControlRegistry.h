// Every control of the process, in registration order, found by child identifier, control
// identifier or window handle.
#pragma once

#include "controls/ControlItem.h"

#include <memory>
#include <vector>

class ControlRegistry {
public:
    static ControlRegistry& Instance();

    bool Register(const std::shared_ptr<ControlItem>& control);
    ControlItem* FindByChildId(int32_t key) const;
    ControlItem* FindByControlId(int32_t key) const;
    ControlItem* FindByWindow(HWND handle) const;
    void PaintAll();

    // FindByControlId narrowed to the class the caller needs; null when missing or of another class.
    template <class T>
    T* Find(int32_t key) const {
        return dynamic_cast<T*>(FindByControlId(key));
    }

    std::vector<std::shared_ptr<ControlItem>> controls;
};
