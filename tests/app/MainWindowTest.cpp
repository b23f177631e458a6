// The main window: its class, title, style and size, its answers to messages, and the program's
// exit code when its window is closed.
#include "app/MainWindow.h"

#include "support/TheProgram.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(MainWindow, IsAFixedSizeWindowOfClassWindowsTitledPalvotrix) {
    HWND window = TheMainWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(currentMainWindow, TheProgram().record.get());

    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    EXPECT_STREQ(L"Windows", className);
    wchar_t title[32] = {};
    GetWindowTextW(window, title, 32);
    EXPECT_STREQ(L"Palvotrix", title);

    // The system adds WS_CLIPSIBLINGS to every top-level window.
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_CLIPSIBLINGS);
    EXPECT_EQ(0xCA0000, style);
    EXPECT_EQ(0, GetWindowLongPtrW(window, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_WINDOWEDGE));
}

TEST(MainWindow, OuterSizeIsTheClientAreaPlusDialogFramesAndCaption) {
    RECT outer = {};
    GetWindowRect(TheMainWindow(), &outer);
    EXPECT_EQ(640 + 2 * GetSystemMetrics(SM_CXDLGFRAME), outer.right - outer.left);
    EXPECT_EQ(380 + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME), outer.bottom - outer.top);

    RECT client = {};
    GetClientRect(TheMainWindow(), &client);
    EXPECT_EQ(640, client.right);
    EXPECT_EQ(380, client.bottom);
}

TEST(MainWindow, KeepsItsFontAndDeviceContext) {
    const MainWindow& record = *TheProgram().record;
    EXPECT_EQ(640, record.clientWidth);
    EXPECT_EQ(380, record.clientHeight);
    EXPECT_EQ(GetModuleHandleW(nullptr), record.instance);
    ASSERT_NE(nullptr, record.dc);
    HFONT defaultFont = TheProgram().defaultFont.get();
    ASSERT_NE(nullptr, defaultFont);
    EXPECT_EQ(defaultFont, GetCurrentObject(record.dc, OBJ_FONT));
}

// Records the messages that this program's code hands to DefWindowProcW, by swapping the program's
// import of it while the spy lives: for these messages the window answers 0 itself, as DefWindowProcW
// would, so only the call shows a fall-through.
class DefWindowProcSpy {
public:
    DefWindowProcSpy() : slot(FindImportSlot()) {
        if (slot != nullptr) {
            original = reinterpret_cast<WNDPROC>(Swap(reinterpret_cast<void*>(&Record)));
            seen = &messages;
        }
    }
    ~DefWindowProcSpy() {
        if (slot != nullptr) {
            seen = nullptr;
            Swap(reinterpret_cast<void*>(original));
        }
    }
    DefWindowProcSpy(const DefWindowProcSpy&) = delete;
    DefWindowProcSpy& operator=(const DefWindowProcSpy&) = delete;

    bool Installed() const { return slot != nullptr; }

    std::vector<UINT> messages;

private:
    static LRESULT WINAPI Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (seen != nullptr) {
            seen->push_back(message);
        }
        return CallWindowProcW(original, window, message, wParam, lParam);
    }

    // The program's import-table entry that holds DefWindowProcW's address.
    static void** FindImportSlot() {
        const void* target =
            reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "DefWindowProcW"));
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
        const auto* headers =
            reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             module->Name != 0; ++module) {
            for (auto* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk); entry->u1.Function != 0;
                 ++entry) {
                if (reinterpret_cast<const void*>(entry->u1.Function) == target) {
                    return reinterpret_cast<void**>(&entry->u1.Function);
                }
            }
        }
        return nullptr;
    }

    void* Swap(void* replacement) {
        DWORD protection = 0;
        VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
        void* previous = *slot;
        *slot = replacement;
        VirtualProtect(slot, sizeof(void*), protection, &protection);
        return previous;
    }

    static inline WNDPROC original = nullptr;
    static inline std::vector<UINT>* seen = nullptr;
    void** slot;
};

TEST(MainWindow, AnswersInitDialogDropsAndUnknownCommandsItself) {
    HWND window = TheMainWindow();
    DefWindowProcSpy spy;
    ASSERT_TRUE(spy.Installed());
    EXPECT_EQ(1, SendMessageW(window, WM_INITDIALOG, 0, 0));
    EXPECT_EQ(0, SendMessageW(window, WM_DROPFILES, 0, 0));
    EXPECT_EQ(0, SendMessageW(window, WM_COMMAND, MAKEWPARAM(999, BN_CLICKED), 0));
    EXPECT_EQ(0, SendMessageW(window, WM_CREATE, 0, 0));
    // A message the window leaves to the system shows that the spy sees the calls.
    SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    EXPECT_EQ(std::vector<UINT>{WM_GETTEXTLENGTH}, spy.messages);
}

// The test program's folder and the relative path from it to palvotrix.exe.
std::wstring ProgramPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + PALVOTRIX_PROGRAM_FROM_TESTS;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (owner == search->processId && std::wstring(className) == L"Windows") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

HWND WaitForMainWindow(DWORD processId) {
    for (int attempt = 0; attempt < 300; ++attempt) {
        WindowSearch search = {processId, nullptr};
        EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        Sleep(100);
    }
    return nullptr;
}

std::string ResourceText(HMODULE module, HRSRC resource) {
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    return std::string(bytes, SizeofResource(module, resource));
}

TEST(Program, CarriesItsIconAndAnAsInvokerManifestWithoutCommonControls) {
    HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);

    HRSRC iconGroup = FindResourceW(program, L"IDI_ICON", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(nullptr, iconGroup);
    const std::string group = ResourceText(program, iconGroup);
    ASSERT_EQ(20u, group.size());                          // the header and one entry
    EXPECT_EQ(32, static_cast<unsigned char>(group[6]));   // width
    EXPECT_EQ(32, static_cast<unsigned char>(group[7]));   // height
    EXPECT_EQ(32, static_cast<unsigned char>(group[12]));  // bits per pixel

    HRSRC manifestResource = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(nullptr, manifestResource);
    const std::string manifest = ResourceText(program, manifestResource);
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
    EXPECT_NE(std::string::npos, manifest.find("uiAccess=\"false\""));
    EXPECT_EQ(std::string::npos, manifest.find("Common-Controls"));
    FreeLibrary(program);
}

TEST(Program, EndsWithExitCodeZeroWhenItsWindowIsClosed) {
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        << "cannot start " << std::string(commandLine.begin(), commandLine.end());

    HWND window = WaitForMainWindow(process.dwProcessId);
    ASSERT_NE(nullptr, window);
    wchar_t title[32] = {};
    GetWindowTextW(window, title, 32);
    EXPECT_STREQ(L"Palvotrix", title);
    // All 34 controls are there once the program waits for input in its message loop.
    EXPECT_EQ(0u, WaitForInputIdle(process.hProcess, 30000));
    int children = 0;
    EnumChildWindows(window, CountWindow, reinterpret_cast<LPARAM>(&children));
    EXPECT_EQ(34, children);

    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 30000));
    DWORD exitCode = 1234;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(0u, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
