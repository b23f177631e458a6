// The main window, files and message helpers that the batch tests share.
#include "RunFixture.h"

#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/ListboxInfo.h"
#include "controls/TextboxInfo.h"

#include <stdexcept>

namespace {

void AppendLittleEndian(std::string& bytes, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

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

int folderCounter = 0;

}  // namespace

Shell& TheProgram() {
    // Lives as long as the process, like the program's own window.
    static Shell* shell = [] {
        auto* started = new Shell();
        StartUp(*started, GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE);
        return started;
    }();
    return *shell;
}

HWND TheMainWindow() {
    return TheProgram().record->window;
}

TempFolder::TempFolder()
    : TempFolder(std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++folderCounter)) {}

TempFolder::TempFolder(const std::wstring& name) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    path = std::wstring(base) + L"pvx-batch-" + name;
    RemoveTree(path);
    CreateDirectoryW(path.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    RemoveTree(path);
}

std::wstring TempFolder::Subfolder(const wchar_t* name) const {
    const std::wstring subfolder = path + L"\\" + name;
    CreateDirectoryW(subfolder.c_str(), nullptr);
    return subfolder;
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::wstring& dir) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    previous = current;
    SetCurrentDirectoryW(dir.c_str());
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    SetCurrentDirectoryW(previous.c_str());
}

StartFolderScope::StartFolderScope(const std::wstring& folder) : previous(TheProgram().record->startFolder) {
    Utf16Copy(TheProgram().record->startFolder, kTextCapacity, folder.c_str());
}

StartFolderScope::~StartFolderScope() {
    Utf16Copy(TheProgram().record->startFolder, kTextCapacity, previous.c_str());
}

std::wstring CurrentDirectory() {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    return current;
}

std::string MakeWave(int16_t amplitude, uint32_t sampleCount) {
    const uint32_t dataSize = sampleCount * 2;
    std::string bytes = "RIFF";
    AppendLittleEndian(bytes, 36 + dataSize, 4);
    bytes += "WAVE";
    bytes += "fmt ";
    AppendLittleEndian(bytes, 16, 4);     // chunk size
    AppendLittleEndian(bytes, 1, 2);      // integer PCM
    AppendLittleEndian(bytes, 1, 2);      // mono
    AppendLittleEndian(bytes, 8000, 4);   // frames per second
    AppendLittleEndian(bytes, 16000, 4);  // bytes per second
    AppendLittleEndian(bytes, 2, 2);      // bytes per frame
    AppendLittleEndian(bytes, 16, 2);     // bits per sample
    bytes += "data";
    AppendLittleEndian(bytes, dataSize, 4);
    for (uint32_t i = 0; i < sampleCount; ++i) {
        const int16_t sample = (i % 2 == 0) ? amplitude : static_cast<int16_t>(-amplitude);
        AppendLittleEndian(bytes, static_cast<uint16_t>(sample), 2);
    }
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot create a test file");
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != bytes.size()) {
        throw std::runtime_error("cannot write a test file");
    }
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        read = 0;
    }
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
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
    window = CreateWindowExW(0, kWhenPumpedClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             windowClass.hInstance, nullptr);
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
