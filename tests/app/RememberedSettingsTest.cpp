// The window's settings kept between starts, seen from outside as the user sees them: a copy of the
// real program in a folder of its own is changed, closed or run, and started again.
#include "BuiltPrograms.h"

#include "core/WindowSettings.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// The child-window identifiers (100 + the layout's row) of the controls whose settings are kept.
constexpr int kFolderBox = 106;
constexpr int kStart = 108;
constexpr int kVolumeCheck = 111;
constexpr int kPercentBox = 113;
constexpr int kDbBox = 116;
constexpr int kHeadCheck = 119;
constexpr int kHeadThresholdBox = 121;
constexpr int kHeadMarginBox = 124;
constexpr int kTailCheck = 126;
constexpr int kTailThresholdBox = 128;
constexpr int kTailMarginBox = 131;

BOOL CALLBACK CollectControl(HWND control, LPARAM map) {
    (*reinterpret_cast<std::map<int, HWND>*>(map))[GetDlgCtrlID(control)] = control;
    return TRUE;
}

// The program's controls by child-window identifier.
std::map<int, HWND> ControlsOf(HWND mainWindow) {
    std::map<int, HWND> controls;
    EnumChildWindows(mainWindow, CollectControl, reinterpret_cast<LPARAM>(&controls));
    return controls;
}

std::wstring TextOf(HWND control) {
    wchar_t text[600] = {};
    SendMessageW(control, WM_GETTEXT, 600, reinterpret_cast<LPARAM>(text));
    return text;
}

bool IsChecked(HWND checkbox) {
    return SendMessageW(checkbox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Types into a box and leaves it, as the user does.
void Type(HWND box, const wchar_t* text) {
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(box));
}

// The program copied into a folder of its own, with an application-data folder of its own.
class Install {
public:
    Install() : programFolder(folder.MakeFolder("program")), appData(folder.MakeFolder("appdata")) {
        std::filesystem::copy_file(WindowProgramPath(), programFolder / "palvotrix.exe");
    }

    // This process's environment with APPDATA set to the install's own folder.
    std::wstring Environment() const {
        std::wstring block;
        wchar_t* strings = GetEnvironmentStringsW();
        for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
            if (_wcsnicmp(entry, L"APPDATA=", 8) != 0) {
                block.append(entry).push_back(L'\0');
            }
        }
        FreeEnvironmentStringsW(strings);
        block.append(L"APPDATA=" + appData.wstring()).push_back(L'\0');
        return block;
    }

    std::filesystem::path Beside() const { return programFolder / "palvotrix.ini"; }
    std::filesystem::path InAppData() const { return appData / "Palvotrix" / "palvotrix.ini"; }

    TempFolder folder;
    std::filesystem::path programFolder;
    std::filesystem::path appData;
};

class Started {
public:
    explicit Started(const Install& install)
        : program((install.programFolder / "palvotrix.exe").wstring(), install.Environment()),
          controls(ControlsOf(program.MainWindow())) {}

    HWND operator[](int childId) const {
        const auto found = controls.find(childId);
        return found == controls.end() ? nullptr : found->second;
    }

    StartedProgram program;
    std::map<int, HWND> controls;
};

void ChangeEverything(const Started& window) {
    Type(window[kFolderBox], L"C:\\出力 先");
    Type(window[kDbBox], L"-6");
    Type(window[kHeadThresholdBox], L"-60");
    Type(window[kHeadMarginBox], L"0.5");
    Type(window[kTailThresholdBox], L"-48");
    Type(window[kTailMarginBox], L"1.25");
    SendMessageW(window[kVolumeCheck], BM_CLICK, 0, 0);
    SendMessageW(window[kTailCheck], BM_CLICK, 0, 0);
}

void ExpectChanged(const Started& window) {
    EXPECT_EQ(L"C:\\出力 先", TextOf(window[kFolderBox]));
    EXPECT_EQ(L"50.12", TextOf(window[kPercentBox]));
    EXPECT_EQ(L"-6.00", TextOf(window[kDbBox]));
    EXPECT_EQ(L"-60.00", TextOf(window[kHeadThresholdBox]));
    EXPECT_EQ(L"0.50", TextOf(window[kHeadMarginBox]));
    EXPECT_EQ(L"-48.00", TextOf(window[kTailThresholdBox]));
    EXPECT_EQ(L"1.25", TextOf(window[kTailMarginBox]));
    EXPECT_FALSE(IsChecked(window[kVolumeCheck]));
    EXPECT_TRUE(IsChecked(window[kHeadCheck]));
    EXPECT_FALSE(IsChecked(window[kTailCheck]));
    // Unchecked as by a click: the boxes it switches are off.
    EXPECT_FALSE(IsWindowEnabled(window[kPercentBox]));
    EXPECT_TRUE(IsWindowEnabled(window[kHeadThresholdBox]));
    EXPECT_FALSE(IsWindowEnabled(window[kTailMarginBox]));
}

void Close(Started& window) {
    DWORD exitCode = 1234;
    ASSERT_TRUE(window.program.Close(exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST(RememberedSettings, ChangedSettingsComeBackAfterTheWindowIsClosed) {
    Install install;
    {
        Started window(install);
        ASSERT_NE(nullptr, window[kFolderBox]);
        ChangeEverything(window);
        Close(window);
    }
    EXPECT_TRUE(FileExists(install.Beside()));
    EXPECT_FALSE(FileExists(install.InAppData()));
    Started again(install);
    ASSERT_NE(nullptr, again[kFolderBox]);
    ExpectChanged(again);
    Close(again);
}

TEST(RememberedSettings, EndOfARunStoresTheSettings) {
    Install install;
    Started window(install);
    ASSERT_NE(nullptr, window[kStart]);
    Type(window[kHeadThresholdBox], L"-30");
    // An empty list: the run ends at once, within the click.
    SendMessageW(window[kStart], BM_CLICK, 0, 0);
    const Bytes stored = ReadBytes(install.Beside());
    const WindowSettings read = ParseSettingsFile(std::string(stored.begin(), stored.end()));
    EXPECT_EQ(-30.0f, read.head.first);
    EXPECT_EQ(true, read.head.checked);
}

TEST(RememberedSettings, ValuesADamagedFileCannotGiveKeepTheirInitialOnesAndOutOfRangeOnesAreClamped) {
    Install install;
    WriteBytes(install.Beside(), BytesOf("\xEF\xBB\xBF[Palvotrix]\r\n"
                                         "VolumePercent=5000\r\n"
                                         "VolumeDb=abc\r\n"
                                         "HeadThresholdDb=\x01\x02\r\n"
                                         "HeadMarginSec=-30\r\n"
                                         "TailTrim=maybe\r\n"
                                         "\xFF\xFEgarbage=\r\n"
                                         "OutputFolder=D:\\\x89\xB9\r\n"));
    Started window(install);
    ASSERT_NE(nullptr, window[kFolderBox]);
    EXPECT_EQ(L"1000.00", TextOf(window[kPercentBox]));
    EXPECT_EQ(L"20.00", TextOf(window[kDbBox]));
    EXPECT_EQ(L"-96.00", TextOf(window[kHeadThresholdBox]));
    EXPECT_EQ(L"-20.00", TextOf(window[kHeadMarginBox]));
    EXPECT_EQ(L"0.00", TextOf(window[kTailMarginBox]));
    EXPECT_TRUE(IsChecked(window[kTailCheck]));
    EXPECT_TRUE(IsWindowEnabled(window[kTailThresholdBox]));
    EXPECT_EQ(L"", TextOf(window[kFolderBox]));
    Close(window);
}

TEST(RememberedSettings, FileBesideTheProgramComesFirst) {
    Install install;
    WriteBytes(install.Beside(), BytesOf("HeadThresholdDb=-40\r\n"));
    std::filesystem::create_directory(install.InAppData().parent_path());
    WriteBytes(install.InAppData(), BytesOf("HeadThresholdDb=-20\r\nTailThresholdDb=-20\r\n"));
    Started window(install);
    ASSERT_NE(nullptr, window[kFolderBox]);
    EXPECT_EQ(L"-40.00", TextOf(window[kHeadThresholdBox]));
    EXPECT_EQ(L"-96.00", TextOf(window[kTailThresholdBox]));
    Close(window);
}

// A folder named palvotrix.ini beside the program refuses the file there as a read-only folder
// would; unlike a folder's permissions, it does so for root too, as whom the tests may run.
TEST(RememberedSettings, ProgramFolderThatTakesNoFileLeavesThemInTheApplicationData) {
    Install install;
    std::filesystem::create_directory(install.Beside());
    {
        Started window(install);
        ASSERT_NE(nullptr, window[kFolderBox]);
        ChangeEverything(window);
        Close(window);
    }
    EXPECT_TRUE(FileExists(install.InAppData()));
    Started again(install);
    ASSERT_NE(nullptr, again[kFolderBox]);
    ExpectChanged(again);
    Close(again);
}

}  // namespace
