// The order in which the program comes up and goes down.
#include "app/Startup.h"

#include "app/Layout.h"
#include "app/RememberedSettings.h"
#include "core/FileService.h"

namespace {

HFONT CreateDefaultFont() {
    return CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, nullptr);
}

}  // namespace

bool StartUp(Shell& shell, HINSTANCE instance, int showCommand, const SettingsPlaces& settingsPlaces) {
    shell.defaultFont.reset(CreateDefaultFont());
    shell.record = std::make_unique<MainWindow>();
    shell.record->instance = instance;
    // A folder too long to keep leaves the start folder empty, and an empty box then means the current
    // directory.
    fileservice::CurrentFolder(shell.record->startFolder, kTextCapacity);
    CreateMainWindow(*shell.record, instance, showCommand);
    // Without a main window no control can be made and no quit message would ever arrive.
    if (shell.record->window == nullptr) {
        return false;
    }
    if (currentMainWindow == nullptr) {
        currentMainWindow = shell.record.get();
    }
    SendMessageW(shell.record->window, WM_SETFONT, reinterpret_cast<WPARAM>(shell.defaultFont.get()), TRUE);
    shell.fontSelection.emplace(shell.record->dc, shell.defaultFont.get());
    CreateControls();
    RestoreWindowSettings(settingsPlaces);
    return true;
}

void RunMessageLoop(HWND mainWindow) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(mainWindow, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// The order matters: the font goes back into the device context before the record that holds the
// context is freed, and the default font is deleted only once nothing has it selected.
void ShutDown(Shell& shell) {
    shell.fontSelection.reset();
    if (currentMainWindow == shell.record.get()) {
        currentMainWindow = nullptr;
    }
    shell.record.reset();
    shell.defaultFont.reset();
}
