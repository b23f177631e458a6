// The process-wide registry of controls and its three look-ups.
#include "controls/ControlRegistry.h"

ControlRegistry& ControlRegistry::Instance() {
    // Deliberately never destroyed: controls may still be reached while the process ends.
    static ControlRegistry* const registry = new ControlRegistry();
    return *registry;
}

bool ControlRegistry::Register(const std::shared_ptr<ControlItem>& control) {
    controls.push_back(control);
    control->registry = this;
    return true;
}

ControlItem* ControlRegistry::FindByChildId(int32_t key) const {
    for (const auto& control : controls) {
        if (control->childId == key) {
            return control.get();
        }
    }
    return nullptr;
}

ControlItem* ControlRegistry::FindByControlId(int32_t key) const {
    for (const auto& control : controls) {
        if (control->controlId == key) {
            return control.get();
        }
    }
    return nullptr;
}

ControlItem* ControlRegistry::FindByWindow(HWND handle) const {
    for (const auto& control : controls) {
        if (control->GetHandle() == handle) {
            return control.get();
        }
    }
    return nullptr;
}

void ControlRegistry::PaintAll() {
    for (const auto& control : controls) {
        if (control->WantsPaint()) {
            control->Paint();
        }
    }
}
