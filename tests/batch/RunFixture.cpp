// The clicks, box texts and message helpers that the batch tests share.
#include "RunFixture.h"

#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/ListboxInfo.h"
#include "controls/TextboxInfo.h"

#include <stdexcept>

namespace {

void SendOrPostClick(int32_t controlId, bool post) {
    if (controlId == ControlId::Start) {
        WaitUntilStartAcceptsClicks();
    }
    const ControlItem& button = ControlById(controlId);
    const WPARAM command = MAKEWPARAM(button.childId, BN_CLICKED);
    const LPARAM source = reinterpret_cast<LPARAM>(button.GetHandle());
    const HWND parent = GetParent(button.GetHandle());
    if (post) {
        PostMessageW(parent, WM_COMMAND, command, source);
    } else {
        SendMessageW(parent, WM_COMMAND, command, source);
    }
}

INPUT MouseInput(DWORD flags, LONG x = 0, LONG y = 0) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = x;
    input.mi.dy = y;
    input.mi.dwFlags = flags;
    return input;
}

constexpr wchar_t kWhenPumpedClass[] = L"PalvotrixBatchTestWhenPumped";

}  // namespace

StartFolderScope::StartFolderScope(const std::wstring& folder) : previous(TheProgram().record->startFolder) {
    Utf16Copy(TheProgram().record->startFolder, kTextCapacity, folder.c_str());
}

StartFolderScope::~StartFolderScope() {
    Utf16Copy(TheProgram().record->startFolder, kTextCapacity, previous.c_str());
}

ControlItem& ControlById(int32_t controlId) {
    TheMainWindow();
    ControlItem* control = ControlRegistry::Instance().FindByControlId(controlId);
    if (control == nullptr) {
        throw std::runtime_error("control " + std::to_string(controlId) + " is missing");
    }
    return *control;
}

void Click(int32_t controlId) {
    SendOrPostClick(controlId, false);
}

void PostClick(int32_t controlId) {
    SendOrPostClick(controlId, true);
}

// Start ignores a click soon after Stop or a run's end, which tests that start runs back to back
// would otherwise run into.
// The tick count advances in steps, so a sleep of the remaining time alone may fall short of it.
void WaitUntilStartAcceptsClicks() {
    while (GetTickCount() - TheProgram().record->stopOrRunEndTick < GetDoubleClickTime()) {
        Sleep(10);
    }
}

void MouseClicks(int32_t controlId, int count) {
    SetWindowPos(TheMainWindow(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(TheMainWindow());
    RECT rect = {};
    GetWindowRect(ControlById(controlId).GetHandle(), &rect);
    // Absolute input runs from 0 to 65535 across the primary screen.
    const LONG x = ((rect.left + rect.right) / 2) * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    const LONG y = ((rect.top + rect.bottom) / 2) * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    std::vector<INPUT> inputs{MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y)};
    for (int i = 0; i < count; ++i) {
        inputs.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN));
        inputs.push_back(MouseInput(MOUSEEVENTF_LEFTUP));
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void SetBoxText(int32_t controlId, const std::wstring& text) {
    SetWindowTextW(ControlById(controlId).GetHandle(), text.c_str());
}

void LeaveBox(int32_t controlId) {
    const ControlItem& box = ControlById(controlId);
    SendMessageW(GetParent(box.GetHandle()), WM_COMMAND, MAKEWPARAM(box.childId, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(box.GetHandle()));
}

void EnterValue(int32_t controlId, const std::wstring& text) {
    SetBoxText(controlId, text);
    LeaveBox(controlId);
}

std::wstring BoxText(int32_t controlId) {
    const HWND box = ControlById(controlId).GetHandle();
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::vector<std::wstring> LogLines() {
    const std::wstring text = BoxText(ControlId::Log);
    std::vector<std::wstring> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, L"\r\n") == 0) {
            ++i;
            lines.emplace_back();
        } else if (text[i] == L'\n') {
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

void ListFiles(const std::vector<std::wstring>& paths) {
    auto& list = Control<ListboxInfo>(ControlId::FileList);
    list.Clear();
    for (const std::wstring& path : paths) {
        list.AddFile(path.c_str());
    }
}

WhenPumped::WhenPumped(std::function<bool()> action) : action(std::move(action)) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWhenPumpedClass;
    // A second registration fails harmlessly: the class from the first one is used.
    RegisterClassW(&windowClass);
    window =
        CreateWindowExW(0, kWhenPumpedClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    PostMessageW(window, WM_APP, 0, 0);
}

WhenPumped::~WhenPumped() {
    DestroyWindow(window);
}

LRESULT CALLBACK WhenPumped::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP && message != WM_TIMER) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    KillTimer(window, 1);
    auto* self = reinterpret_cast<WhenPumped*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && !self->done) {
        self->done = self->action();
        // A timer, unlike a posted message, lets the queue run empty, which a dialog waits for
        // before it shows itself.
        if (!self->done) {
            SetTimer(window, 1, 20, nullptr);
        }
    }
    return 0;
}

namespace {

BOOL CALLBACK TakeVisibleDialog(HWND window, LPARAM result) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (std::wstring(className) == L"#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindOpenDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), TakeVisibleDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}
