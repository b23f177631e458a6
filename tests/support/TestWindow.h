// Test support: a hidden main window that controls can be created in, and a guard that keeps each
// test's controls out of the other tests' look-ups.
#pragma once

#include "app/MainWindow.h"

#include <cstddef>

// A MainWindow record with a hidden top-level window that runs MainWndProc, published as
// currentMainWindow for the guard's lifetime (the earlier record is put back afterwards).
class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return record.window; }

    MainWindow record;

private:
    MainWindow* previous;
};

// Removes the controls registered during its lifetime from ControlRegistry::Instance(), so a
// look-up by controlId in a later test cannot find a control of an earlier one.
class RegistryScope {
public:
    RegistryScope();
    ~RegistryScope();
    RegistryScope(const RegistryScope&) = delete;
    RegistryScope& operator=(const RegistryScope&) = delete;

private:
    std::size_t initialCount;
};

// Dispatches every message waiting for this thread, as the message loop would.
void PumpPendingMessages();
