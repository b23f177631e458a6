// The main window: its class, its creation with the fixed outer-size rule, and its window procedure.
#include "app/MainWindow.h"

#include "app/RememberedSettings.h"
#include "batch/BatchRun.h"
#include "controls/ControlRegistry.h"
#include "controls/MessageRouting.h"
#include "controls/ScopedWin.h"

MainWindow* currentMainWindow = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"Windows";
constexpr wchar_t kTitle[] = L"Palvotrix";
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

bool RegisterMainClass(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, L"IDI_ICON");
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    windowClass.lpszClassName = kClassName;
    return RegisterClassW(&windowClass) != 0;
}

void PaintControls(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    ControlRegistry::Instance().PaintAll();
    EndPaint(window, &paint);
}

LRESULT HandleMainMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (currentMainWindow == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_DESTROY:
            // A window closed during a run ends it like Stop, before the run looks at its next file
            // or the list it reads them from is gone. The controls still exist: they go after their
            // parent.
            if (RunInProgress()) {
                StopRun();
            }
            StoreWindowSettings();
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            PaintControls(window);
            return 0;
        case WM_INITDIALOG:
            return 1;
        case WM_COMMAND:
            RouteCommand(wParam, lParam);
            return 0;
        case WM_DROPFILES:
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWithoutUnwinding(HandleMainMessage, window, message, wParam, lParam);
}

void CreateMainWindow(MainWindow& record, HINSTANCE instance, int showCommand) {
    if (!RegisterMainClass(instance)) {
        return;
    }
    const int width = record.clientWidth + 2 * GetSystemMetrics(SM_CXDLGFRAME);
    const int height = record.clientHeight + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME);
    record.window = CreateWindowExW(0, kClassName, kTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr,
                                    nullptr, instance, nullptr);
    if (record.window == nullptr) {
        return;
    }
    record.dc = GetDC(record.window);
    ShowWindow(record.window, showCommand);
}
