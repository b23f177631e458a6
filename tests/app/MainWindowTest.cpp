// The main window: its class, title, style and size, its answers to messages, and the program's
// exit code when its window is closed.
#include "app/MainWindow.h"

#include "BuiltPrograms.h"
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

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST(Program, EndsWithExitCodeZeroWhenItsWindowIsClosed) {
    StartedProgram program(WindowProgramPath());
    HWND window = program.MainWindow();
    ASSERT_NE(nullptr, window);
    wchar_t title[32] = {};
    GetWindowTextW(window, title, 32);
    EXPECT_STREQ(L"Palvotrix", title);
    // All 34 controls are there once the program waits for input in its message loop.
    int children = 0;
    EnumChildWindows(window, CountWindow, reinterpret_cast<LPARAM>(&children));
    EXPECT_EQ(34, children);

    DWORD exitCode = 1234;
    ASSERT_TRUE(program.Close(exitCode));
    EXPECT_EQ(0u, exitCode);
}

}  // namespace
