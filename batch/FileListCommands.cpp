// The commands of the buttons around the file list and the output-folder box: delete, delete all,
// add with the open dialog, and choose the folder with the folder dialog.
#include "batch/FileListCommands.h"

#include "batch/BatchRun.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/ListboxInfo.h"
#include "controls/ScopedWin.h"
#include "controls/TextboxInfo.h"
#include "core/ProcessingSettings.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cwchar>
#include <memory>
#include <string>

namespace {

// Room for a few hundred chosen names; a selection that does not fit makes the dialog fail.
constexpr DWORD kOpenDialogCapacity = 32768;
constexpr size_t kCustomFilterCapacity = 512;
constexpr DWORD kCustomFilterOffered = 256;

constexpr wchar_t kOpenDialogTitle[] = L"音声ファイルの選択";
// One description and pattern pair; the literal's own terminator closes the list.
constexpr wchar_t kWaveFilter[] = L"Wave file {*.wav}\0*.wav\0";
constexpr DWORD kOpenDialogFlags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_NOCHANGEDIR;
static_assert(kOpenDialogFlags == 0x81208, "open dialog flags");
static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEW) == 88,
              "the open dialog record includes the reserved fields and FlagsEx");

constexpr wchar_t kFolderDialogTitle[] = L"出力先の選択";

ListboxInfo* FindFileList() {
    return ControlRegistry::Instance().Find<ListboxInfo>(ControlId::FileList);
}

// Paths longer than the program's path buffers are refused, never cut: a cut path names another file.
void AddJoinedIfFits(std::vector<std::wstring>& paths, const wchar_t* folder, const wchar_t* name) {
    wchar_t joined[kTextCapacity] = {};
    if (Utf16Copy(joined, kTextCapacity, folder) && Utf16Append(joined, kTextCapacity, L"\\") &&
        Utf16Append(joined, kTextCapacity, name)) {
        paths.emplace_back(joined);
    }
}

// Puts the current directory back when a dialog returns, whatever the dialog or the shell code it
// loads did to it: a relative path in the list must keep naming the same file.
class CurrentDirectoryKeeper {
public:
    CurrentDirectoryKeeper() : saved(GetCurrentDirectoryW(0, nullptr), L'\0') {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(saved.size()), saved.data());
        saved.resize(length < saved.size() ? length : 0);
    }
    ~CurrentDirectoryKeeper() {
        if (!saved.empty()) {
            SetCurrentDirectoryW(saved.c_str());
        }
    }
    CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
    CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

private:
    std::wstring saved;
};

bool RunOpenDialog(OPENFILENAMEW& dialog) {
    const CurrentDirectoryKeeper keeper;
    return GetOpenFileNameW(&dialog) != FALSE;
}

}  // namespace

// None of the list and folder commands acts during a run: the worker reads the list's own paths, and
// the run shows the folder it writes to.
void DeleteSelectedFiles() {
    if (RunInProgress()) {
        return;
    }
    if (ListboxInfo* list = FindFileList()) {
        list->DeleteSelected();
    }
}

void DeleteAllFiles() {
    if (RunInProgress()) {
        return;
    }
    if (ListboxInfo* list = FindFileList()) {
        list->Clear();
    }
}

void AddFiles(HWND owner) {
    if (RunInProgress()) {
        return;
    }
    std::unique_ptr<wchar_t[]> fileNames(new wchar_t[kOpenDialogCapacity]());
    wchar_t customFilter[kCustomFilterCapacity] = {};

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(OPENFILENAMEW);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kWaveFilter;
    dialog.lpstrCustomFilter = customFilter;
    dialog.nMaxCustFilter = kCustomFilterOffered;
    dialog.nFilterIndex = 0;
    dialog.lpstrFile = fileNames.get();
    dialog.nMaxFile = kOpenDialogCapacity;
    dialog.lpstrTitle = kOpenDialogTitle;
    dialog.Flags = kOpenDialogFlags;
    if (!RunOpenDialog(dialog)) {
        return;
    }

    ListboxInfo* list = FindFileList();
    if (list == nullptr) {
        return;
    }
    for (const std::wstring& path : ParseOpenDialogResult(fileNames.get(), kOpenDialogCapacity)) {
        list->AddFile(path.c_str());
    }
}

std::vector<std::wstring> ParseOpenDialogResult(const wchar_t* buffer, size_t capacity) {
    std::vector<std::wstring> paths;
    const size_t firstLength = wcsnlen(buffer, capacity);
    if (firstLength == 0 || firstLength + 1 >= capacity) {
        return paths;
    }
    const wchar_t* first = buffer;
    size_t next = firstLength + 1;
    if (buffer[next] == L'\0') {
        if (firstLength < kTextCapacity) {
            paths.emplace_back(first, firstLength);
        }
        return paths;
    }
    // A folder followed by names; the join ignores how the folder ends, as the dialog gives it.
    while (next < capacity && buffer[next] != L'\0') {
        const wchar_t* name = buffer + next;
        const size_t nameLength = wcsnlen(name, capacity - next);
        if (next + nameLength >= capacity) {
            break;
        }
        AddJoinedIfFits(paths, first, name);
        next += nameLength + 1;
    }
    return paths;
}

void ChooseOutputFolder(HWND owner) {
    if (RunInProgress()) {
        return;
    }
    wchar_t initialFolder[kTextCapacity] = {};
    wchar_t chosenFolder[kTextCapacity] = {};
    GetOutputFolder(ProcessingSettings::Instance(), initialFolder);
    if (!BrowseForFolder(owner, initialFolder, chosenFolder)) {
        return;
    }
    if (TextboxInfo* box = ControlRegistry::Instance().Find<TextboxInfo>(ControlId::OutputFolder)) {
        box->SetText(chosenFolder);
    }
}

bool BrowseForFolder(HWND owner, const wchar_t* initialFolder, wchar_t* result) {
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = nullptr;
    info.lpszTitle = kFolderDialogTitle;
    info.ulFlags = 0;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(initialFolder);
    info.iImage = 0;

    const CurrentDirectoryKeeper keeper;
    const ShellItemList chosen(SHBrowseForFolderW(&info));
    if (!chosen) {
        return false;
    }
    wchar_t path[MAX_PATH] = {};
    // A virtual folder (one without a file-system path) cannot receive files: treated as a cancel.
    if (!SHGetPathFromIDListW(chosen.get(), path)) {
        return false;
    }
    return Utf16Copy(result, kTextCapacity, path);
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data != 0) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    }
    return 0;
}
