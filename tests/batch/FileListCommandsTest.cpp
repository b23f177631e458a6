// The list and folder buttons, clicked through the program's window; the open and folder dialogs
// are answered from inside their own message loops.
#include "batch/FileListCommands.h"

#include "RunFixture.h"
#include "controls/ControlIds.h"
#include "controls/ListboxInfo.h"
#include "controls/ScopedWin.h"
#include "core/ProcessingSettings.h"

#include <gtest/gtest.h>

#include <dlgs.h>
#include <shlobj.h>

#include <memory>

namespace {

constexpr wchar_t kOpenDialogTitle[] = L"音声ファイルの選択";

int32_t ShownEntries() {
    return static_cast<int32_t>(SendMessageW(ControlById(ControlId::FileList).GetHandle(), LB_GETCOUNT, 0, 0));
}

std::vector<std::wstring> ListedPaths() {
    const auto& list = Control<ListboxInfo>(ControlId::FileList);
    std::vector<std::wstring> paths;
    for (int32_t i = 0; i < list.GetCount(); ++i) {
        paths.emplace_back(list.GetItem(i));
    }
    return paths;
}

std::wstring WindowText(HWND window) {
    wchar_t text[kTextCapacity] = {};
    GetWindowTextW(window, text, static_cast<int>(kTextCapacity));
    return text;
}

BOOL CALLBACK TakeFileNameEdit(HWND child, LPARAM result) {
    wchar_t className[8] = {};
    GetClassNameW(child, className, 8);
    if (GetDlgCtrlID(child) == cmb13 && std::wstring(className) == L"Edit") {
        *reinterpret_cast<HWND*>(result) = child;
        return FALSE;
    }
    return TRUE;
}

// The edit box inside the open dialog's file-name combo box.
HWND FileNameEdit(HWND dialog) {
    HWND edit = nullptr;
    EnumChildWindows(dialog, TakeFileNameEdit, reinterpret_cast<LPARAM>(&edit));
    return edit;
}

// Answers the next dialog: types names into the open dialog (when given) and presses a button.
WhenPumped AnswerDialog(int button, std::wstring names = L"", std::wstring* title = nullptr) {
    return WhenPumped([=] {
        const HWND dialog = FindOpenDialog();
        if (dialog == nullptr) {
            return false;
        }
        if (title != nullptr) {
            *title = WindowText(dialog);
        }
        if (!names.empty()) {
            SetWindowTextW(FileNameEdit(dialog), names.c_str());
        }
        PostMessageW(dialog, WM_COMMAND, button, 0);
        return true;
    });
}

TEST(FileListCommands, DeleteAndDeleteAllLeaveAnEmptyListEmpty) {
    ListFiles({});
    const std::wstring log = BoxText(ControlId::Log);

    Click(ControlId::DeleteButton);
    Click(ControlId::DeleteAllButton);

    EXPECT_EQ(Control<ListboxInfo>(ControlId::FileList).GetCount(), 0);
    EXPECT_EQ(ShownEntries(), 0);
    EXPECT_EQ(BoxText(ControlId::Log), log);
}

class OpenDialog : public testing::Test {
protected:
    void SetUp() override {
        ListFiles({});
        for (const wchar_t* name : {L"a.wav", L"b.wav", L"c.wav"}) {
            WriteBytes(folder.Path().wstring() + L"\\" + name, AlternatingWave(1, 2));
        }
    }

    TempFolder folder;
    // The dialog opens in the current directory.
    CurrentDirectoryScope currentDirectory{folder.Path()};
};

TEST_F(OpenDialog, OneChosenFileIsAddedWithItsFullPath) {
    std::wstring title;
    const WhenPumped answer = AnswerDialog(IDOK, L"b.wav", &title);

    Click(ControlId::AddButton);

    ASSERT_TRUE(answer.Done());
    EXPECT_EQ(title, kOpenDialogTitle);
    EXPECT_EQ(ListedPaths(), std::vector<std::wstring>{folder.Path().wstring() + L"\\b.wav"});
}

TEST_F(OpenDialog, SeveralChosenFilesAreAddedInTheDialogsOrder) {
    const WhenPumped answer = AnswerDialog(IDOK, L"\"c.wav\" \"a.wav\"");

    Click(ControlId::AddButton);

    ASSERT_TRUE(answer.Done());
    EXPECT_EQ(ListedPaths(),
              (std::vector<std::wstring>{folder.Path().wstring() + L"\\c.wav", folder.Path().wstring() + L"\\a.wav"}));
}

TEST_F(OpenDialog, CancelAddsNothing) {
    const WhenPumped answer = AnswerDialog(IDCANCEL, L"a.wav");

    Click(ControlId::AddButton);

    ASSERT_TRUE(answer.Done());
    EXPECT_TRUE(ListedPaths().empty());
}

// Answers the open dialog as a user does who browses to another folder first: the folder's path,
// then the file's name.
WhenPumped BrowseAndChoose(const std::wstring& folderPath, const std::wstring& name) {
    auto step = std::make_shared<int>(0);
    return WhenPumped([=] {
        const HWND dialog = FindOpenDialog();
        if (dialog == nullptr) {
            return false;
        }
        SetWindowTextW(FileNameEdit(dialog), *step == 0 ? folderPath.c_str() : name.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return ++*step == 2;
    });
}

TEST_F(OpenDialog, FileChosenInAnotherFolderLeavesTheCurrentDirectoryWhereItWas) {
    const std::wstring other = folder.MakeFolder(L"other").wstring();
    WriteBytes(other + L"\\d.wav", AlternatingWave(1, 2));
    const WhenPumped answer = BrowseAndChoose(other, L"d.wav");

    Click(ControlId::AddButton);

    ASSERT_TRUE(answer.Done());
    EXPECT_EQ(ListedPaths(), std::vector<std::wstring>{other + L"\\d.wav"});
    EXPECT_EQ(std::filesystem::current_path(), folder.Path());
}

// The first use: files added with the dialog, the folder box left empty, Start.
TEST_F(OpenDialog, FirstUseWritesIntoTheStartFolderAndLeavesTheInputsAlone) {
    const std::wstring input = folder.MakeFolder(L"in").wstring();
    const std::wstring output = folder.MakeFolder(L"out").wstring();
    const Bytes original = AlternatingWave(1000, 400);
    WriteBytes(input + L"\\e.wav", original);
    const StartFolderScope startFolder(output);
    const WhenPumped answer = BrowseAndChoose(input, L"e.wav");
    SetBoxText(ControlId::OutputFolder, L"");
    EnterValue(ControlId::VolumePercent, L"200.00");

    Click(ControlId::AddButton);
    Click(ControlId::Start);

    ASSERT_TRUE(answer.Done());
    EXPECT_EQ(ReadBytes(input + L"\\e.wav"), original);
    EXPECT_EQ(ReadBytes(output + L"\\e.wav"), AlternatingWave(2000, 400));
    EnterValue(ControlId::VolumePercent, L"100.00");
}

std::wstring WindowsFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    return folder;
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return folder;
}

// The folders chosen here are the system's own: Wine's folder dialog does not always find a folder made
// a moment before it opens.
class FolderDialog : public testing::Test {
protected:
    // Runs a Start with an empty list, so outputFolder takes the box's text as it would in a run.
    static void StartWithFolder(const std::wstring& text) {
        ListFiles({});
        SetBoxText(ControlId::OutputFolder, text);
        Click(ControlId::Start);
    }
};

TEST_F(FolderDialog, OpensAtTheLastStartsFolderAndPutsTheChoiceInTheBox) {
    StartWithFolder(WindowsFolder());
    SetBoxText(ControlId::OutputFolder, SystemFolder());
    const WhenPumped answer = AnswerDialog(IDOK);

    Click(ControlId::BrowseButton);

    ASSERT_TRUE(answer.Done());
    EXPECT_EQ(BoxText(ControlId::OutputFolder), WindowsFolder());
}

TEST_F(FolderDialog, OpensAtTheStartFolderWhenNoFolderWasGiven) {
    const StartFolderScope startFolder(WindowsFolder());
    const CurrentDirectoryScope currentDirectory(SystemFolder());
    StartWithFolder(L"");
    const WhenPumped answer = AnswerDialog(IDOK);

    Click(ControlId::BrowseButton);

    ASSERT_TRUE(answer.Done());
    EXPECT_EQ(BoxText(ControlId::OutputFolder), WindowsFolder());
}

TEST_F(FolderDialog, PutsBackACurrentDirectoryMovedWhileItWasOpen) {
    const CurrentDirectoryScope currentDirectory(SystemFolder());
    const WhenPumped answer([] {
        const HWND dialog = FindOpenDialog();
        if (dialog == nullptr) {
            return false;
        }
        SetCurrentDirectoryW(WindowsFolder().c_str());
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });

    Click(ControlId::BrowseButton);

    ASSERT_TRUE(answer.Done());
    EXPECT_EQ(std::filesystem::current_path(), SystemFolder());
}

TEST_F(FolderDialog, CancelKeepsTheBoxText) {
    StartWithFolder(WindowsFolder());
    SetBoxText(ControlId::OutputFolder, L"typed");
    const WhenPumped answer = AnswerDialog(IDCANCEL);

    Click(ControlId::BrowseButton);

    ASSERT_TRUE(answer.Done());
    EXPECT_EQ(BoxText(ControlId::OutputFolder), L"typed");
}

TEST_F(FolderDialog, FolderWithoutAFileSystemPathCountsAsCancel) {
    StartWithFolder(WindowsFolder());
    SetBoxText(ControlId::OutputFolder, L"typed");
    const WhenPumped answer([] {
        const HWND dialog = FindOpenDialog();
        if (dialog == nullptr) {
            return false;
        }
        PIDLIST_ABSOLUTE found = nullptr;
        SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &found);
        const ShellItemList computer(found);
        SendMessageW(dialog, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(computer.get()));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });

    Click(ControlId::BrowseButton);

    ASSERT_TRUE(answer.Done());
    EXPECT_EQ(BoxText(ControlId::OutputFolder), L"typed");
}

}  // namespace
