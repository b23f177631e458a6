// The input-file list: the list box and the program's own copy of every listed path, kept in step.
#include "controls/ListboxInfo.h"

#include "controls/ScopedWin.h"

#include <shellapi.h>

#include <cwchar>

namespace {

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_EXTENDEDSEL | LBS_NOTIFY;
constexpr int kSelectionCapacity = 256;

std::unique_ptr<wchar_t[]> CopyPath(const wchar_t* path) {
    const size_t units = wcslen(path) + 1;
    auto copy = std::make_unique<wchar_t[]>(units);
    wmemcpy(copy.get(), path, units);
    return copy;
}

}  // namespace

ListboxInfo::ListboxInfo(HWND parent) : ControlItem(parent, ControlKind::Listbox) {}

ListboxInfo::~ListboxInfo() = default;

void ListboxInfo::CreateUntitled(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
    controlId = id;
    CreateControlWindow(WS_EX_ACCEPTFILES, L"LISTBOX", L"", kListStyle, x, y, width, height);
    DragAcceptFiles(window, TRUE);
    SetFont(12, 400);
}

int ListboxInfo::OnCommand(int32_t code, WPARAM, LPARAM) {
    if (code != LBN_SELCHANGE) {
        return 0;
    }
    int32_t selected[kSelectionCapacity] = {};
    const LRESULT count = SendMessageW(window, LB_GETSELITEMS, kSelectionCapacity, reinterpret_cast<LPARAM>(selected));
    selection.clear();
    for (LRESULT index = 0; index < count && index < kSelectionCapacity; ++index) {
        selection.push_back(selected[index]);
    }
    return 0;
}

void ListboxInfo::UpdateHorizontalExtent() {
    int extent = 0;
    {
        WindowDC dc(window);
        RECT client = {};
        GetClientRect(window, &client);
        extent = client.right;
        const auto listFont = reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0));
        ScopedSelectObject selectFont(dc.Get(), listFont);
        bool widened = false;
        for (const auto& path : paths) {
            SIZE size = {};
            GetTextExtentPoint32W(dc.Get(), path.get(), static_cast<int>(wcslen(path.get())), &size);
            if (size.cx > extent) {
                extent = size.cx;
                widened = true;
            }
        }
        if (widened) {
            extent += 3 * GetSystemMetrics(SM_CXBORDER);
        }
    }
    SendMessageW(window, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent), 0);
}

void ListboxInfo::AddFile(const wchar_t* path) {
    paths.push_back(CopyPath(path));
    SendMessageW(window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path));
    UpdateHorizontalExtent();
}

void ListboxInfo::DeleteAt(int32_t index) {
    if (index < 0 || index >= GetCount()) {
        return;
    }
    paths.erase(paths.begin() + index);
    SendMessageW(window, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    UpdateHorizontalExtent();
}

// The list box reports the selection in ascending order, so each earlier removal moves the next
// selected entry up by one. The remembered selection is spent afterwards: a second delete would
// otherwise remove entries the user never selected.
void ListboxInfo::DeleteSelected() {
    for (size_t removed = 0; removed < selection.size(); ++removed) {
        DeleteAt(selection[removed] - static_cast<int32_t>(removed));
    }
    UpdateHorizontalExtent();
    selection.clear();
}

void ListboxInfo::Clear() {
    while (!paths.empty()) {
        paths.erase(paths.begin());
        SendMessageW(window, LB_DELETESTRING, 0, 0);
    }
    UpdateHorizontalExtent();
    selection.clear();
}

int32_t ListboxInfo::GetCount() const {
    return static_cast<int32_t>(paths.size());
}

const wchar_t* ListboxInfo::GetItem(int32_t index) const {
    return paths[static_cast<size_t>(index)].get();
}
