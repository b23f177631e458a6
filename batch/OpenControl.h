// A control of the main window's registry whose window still exists.
#pragma once

#include "controls/ControlRegistry.h"

#include <cstdint>

// Closing the main window during a run destroys every control window while the run still holds
// the objects; such a control is treated as missing.
template <class T>
T* FindOpenControl(int32_t controlId) {
    T* control = ControlRegistry::Instance().Find<T>(controlId);
    if (control == nullptr || !IsWindow(control->GetHandle())) {
        return nullptr;
    }
    return control;
}
