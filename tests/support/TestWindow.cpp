// A hidden main window and a registry guard for tests of the controls and the batch commands.
#include "support/TestWindow.h"

#include "controls/ControlRegistry.h"

namespace {

constexpr wchar_t kTestClassName[] = L"PalvotrixTestWindow";

void RegisterTestClass(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    windowClass.lpszClassName = kTestClassName;
    // A second registration fails harmlessly: the class from the first one is used.
    RegisterClassW(&windowClass);
}

}  // namespace

TestWindow::TestWindow() : previous(currentMainWindow) {
    record.instance = GetModuleHandleW(nullptr);
    RegisterTestClass(record.instance);
    record.window =
        CreateWindowExW(0, kTestClassName, L"Palvotrix test", WS_CAPTION | WS_SYSMENU, 0, 0, record.clientWidth,
                        record.clientHeight, nullptr, nullptr, record.instance, nullptr);
    record.dc = GetDC(record.window);
    currentMainWindow = &record;
}

TestWindow::~TestWindow() {
    ReleaseDC(record.window, record.dc);
    DestroyWindow(record.window);
    // MainWndProc answers WM_DESTROY with a quit message, which would end a later test's message pump.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    currentMainWindow = previous;
}

RegistryScope::RegistryScope() : initialCount(ControlRegistry::Instance().controls.size()) {}

RegistryScope::~RegistryScope() {
    auto& controls = ControlRegistry::Instance().controls;
    controls.erase(controls.begin() + static_cast<std::ptrdiff_t>(initialCount), controls.end());
}

void PumpPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
