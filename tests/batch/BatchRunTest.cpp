// Start and Stop end to end: real WAV files in a temporary folder, the program's window driven by
// messages, the log and the output files checked.
#include "batch/BatchRun.h"

#include "RunFixture.h"
#include "support/TestWindow.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/ListboxInfo.h"
#include "controls/TextVolumeInfo.h"
#include "core/ProcessingSettings.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>

namespace {

constexpr int32_t kLockedIds[] = {ControlId::FileList,  ControlId::DeleteButton, ControlId::DeleteAllButton,
                                  ControlId::AddButton, ControlId::BrowseButton, ControlId::OutputFolder,
                                  ControlId::Start};
// The check boxes and value boxes, which stay live during a run.
constexpr int32_t kLiveIds[] = {ControlId::VolumeCheck, ControlId::VolumePercent, ControlId::VolumeDb,
                                ControlId::HeadCheck,   ControlId::HeadThreshold, ControlId::HeadMargin,
                                ControlId::TailCheck,   ControlId::TailThreshold, ControlId::TailMargin};

constexpr int16_t kAmplitude = 1000;
constexpr uint32_t kSmallFile = 4000;
// Large enough that reading it takes longer than a few dispatched messages.
constexpr uint32_t kLargeFile = 4000000;

class BatchRun : public testing::Test {
protected:
    BatchRun() = default;
    explicit BatchRun(const std::wstring& folderName) : folder(folderName) {}

    void SetUp() override {
        TheMainWindow();
        input = folder.MakeFolder(L"in").wstring();
        output = folder.MakeFolder(L"out").wstring();
        SetBoxText(ControlId::OutputFolder, output);
        EnterValue(ControlId::VolumePercent, L"100.00");
    }

    std::wstring Input(const std::wstring& name, uint32_t samples = kSmallFile) {
        const std::wstring path = input + L"\\" + name;
        WriteBytes(path, AlternatingWave(kAmplitude, samples));
        return path;
    }

    Bytes Output(const std::wstring& name) const { return ReadBytes(output + L"\\" + name); }

    TempFolder folder;
    std::wstring input;
    std::wstring output;
};

bool WindowEnabled(int32_t controlId) {
    return IsWindowEnabled(ControlById(controlId).GetHandle()) != FALSE;
}

bool StopShown() {
    return (GetWindowLongW(ControlById(ControlId::Stop).GetHandle(), GWL_STYLE) & WS_VISIBLE) != 0;
}

TEST_F(BatchRun, EmptyListLogsTheStartTheCompletionAndTheFolder) {
    ListFiles({});
    Click(ControlId::Start);
    EXPECT_EQ(LogLines(), (Lines{kStartLine, kCompletedLine, L"", kFolderPrefix + output}));
}

TEST_F(BatchRun, UnreadableFileGetsTheErrorLineAndItsReasonAndTheRunGoesOn) {
    const std::wstring broken = input + L"\\二.wav";
    WriteBytes(broken, BytesOf("this is not a RIFF file"));
    ListFiles({Input(L"一.wav"), broken, Input(L"三.wav")});

    Click(ControlId::Start);

    EXPECT_EQ(LogLines(), (Lines{kStartLine, L"一.wav", L"二.wav", kErrorLine, L"RIFF/WAVE形式のファイルではありません",
                                 L"三.wav", kCompletedLine, L"", kFolderPrefix + output}));
    EXPECT_EQ(Output(L"一.wav"), AlternatingWave(kAmplitude, kSmallFile));
    EXPECT_EQ(Output(L"三.wav"), AlternatingWave(kAmplitude, kSmallFile));
    EXPECT_FALSE(FileExists(output + L"\\二.wav"));
}

TEST_F(BatchRun, FileWrittenUnchangedGetsANoteLine) {
    Bytes twelveBit = AlternatingWave(kAmplitude, kSmallFile);
    twelveBit[34] = 12;  // bits per sample
    WriteBytes(input + L"\\a.wav", twelveBit);
    ListFiles({input + L"\\a.wav", Input(L"b.wav")});

    Click(ControlId::Start);

    EXPECT_EQ(LogLines(), (Lines{kStartLine, L"a.wav", L"12ビットの整数PCMは処理しないため、そのまま書き出しました",
                                 L"b.wav", kCompletedLine, L"", kFolderPrefix + output}));
    EXPECT_EQ(Output(L"a.wav"), twelveBit);
}

// Both clipped lines, and none for a file that stays within full scale.
TEST_F(BatchRun, ClippedFileGetsANoteWithTheCount) {
    WriteBytes(input + L"\\pcm.wav", MakeWave(16, {0, 4000, -4000, 100}));
    WriteBytes(input + L"\\float.wav", Riff({Fmt(3, 1, 8000, 32), Chunk("data", FloatSamples({0.5f, 0.05f}))}));
    ListFiles({input + L"\\pcm.wav", input + L"\\float.wav", Input(L"quiet.wav")});
    SetBoxText(ControlId::VolumePercent, L"1000");
    const ControlItem& box = ControlById(ControlId::VolumePercent);
    SendMessageW(GetParent(box.GetHandle()), WM_COMMAND, MAKEWPARAM(box.childId, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(box.GetHandle()));

    Click(ControlId::Start);

    EXPECT_EQ(LogLines(),
              (Lines{kStartLine, L"pcm.wav", L"2 サンプルがクリップしました", L"float.wav",
                     L"1 サンプルが 0 dBFS を超えました", L"quiet.wav", kCompletedLine, L"", kFolderPrefix + output}));
}

TEST_F(BatchRun, StopEndsTheRunWithTheFileInProgress) {
    ListFiles({Input(L"a.wav", kLargeFile), Input(L"b.wav"), Input(L"c.wav")});
    PostClick(ControlId::Stop);

    Click(ControlId::Start);

    EXPECT_EQ(LogLines(), (Lines{kStartLine, L"a.wav", kInterruptedLine, L"", kFolderPrefix + output}));
    EXPECT_TRUE(ListFolder(output).empty());
    EXPECT_FALSE(StopShown());
    EXPECT_FALSE(ProcessingSettings::Instance().cancelRequested);

    Click(ControlId::Stop);  // a Stop click that was still queued when the run ended
    Click(ControlId::Start);

    EXPECT_EQ(LogLines(),
              (Lines{kStartLine, L"a.wav", L"b.wav", L"c.wav", kCompletedLine, L"", kFolderPrefix + output}));
    EXPECT_EQ(Output(L"c.wav"), AlternatingWave(kAmplitude, kSmallFile));
}

TEST_F(BatchRun, EmptyFolderBoxWritesIntoTheStartFolderWhereverTheCurrentDirectoryIs) {
    const StartFolderScope startFolder(output);
    const CurrentDirectoryScope currentDirectory(input);
    SetBoxText(ControlId::OutputFolder, L"");
    EnterValue(ControlId::VolumePercent, L"200.00");
    const std::wstring path = Input(L"a.wav");
    ListFiles({path});

    Click(ControlId::Start);

    EXPECT_EQ(LogLines().back(), kFolderPrefix + output);
    EXPECT_EQ(Output(L"a.wav"), AlternatingWave(2 * kAmplitude, kSmallFile));
    EXPECT_EQ(ReadBytes(path), AlternatingWave(kAmplitude, kSmallFile));
}

TEST_F(BatchRun, EntryWithoutBackslashIsLoggedWhole) {
    CurrentDirectoryScope currentDirectory(input);
    Input(L"plain.wav");
    ListFiles({L"plain.wav"});

    Click(ControlId::Start);

    EXPECT_EQ(LogLines(), (Lines{kStartLine, L"plain.wav", kCompletedLine, L"", kFolderPrefix + output}));
    EXPECT_EQ(Output(L"plain.wav"), AlternatingWave(kAmplitude, kSmallFile));
}

TEST_F(BatchRun, EachStartReplacesTheLog) {
    ListFiles({Input(L"a.wav")});
    Click(ControlId::Start);
    const std::vector<std::wstring> first = LogLines();

    Click(ControlId::Start);

    EXPECT_EQ(LogLines(), first);
    EXPECT_EQ(first.front(), kStartLine);
}

TEST_F(BatchRun, LocksTheListAndFolderControlsOnlyWhileRunning) {
    ListFiles({Input(L"a.wav", kLargeFile)});
    WhenPumped check([] {
        for (const int32_t id : kLockedIds) {
            EXPECT_FALSE(WindowEnabled(id)) << id;
            EXPECT_FALSE(ControlById(id).IsEnabled()) << id;
        }
        for (const int32_t id : kLiveIds) {
            EXPECT_TRUE(WindowEnabled(id)) << id;
        }
        EXPECT_TRUE(StopShown());
        // The keyboard can still reach Stop, and nothing disabled keeps the focus.
        EXPECT_EQ(GetFocus(), ControlById(ControlId::Stop).GetHandle());
        return true;
    });
    SetFocus(ControlById(ControlId::Start).GetHandle());

    Click(ControlId::Start);

    ASSERT_TRUE(check.Done());
    for (const int32_t id : kLockedIds) {
        EXPECT_TRUE(WindowEnabled(id)) << id;
        EXPECT_TRUE(ControlById(id).IsEnabled()) << id;
    }
    EXPECT_FALSE(StopShown());
    EXPECT_EQ(GetFocus(), ControlById(ControlId::Start).GetHandle());
}

// A drop of one name, as the shell hands it to the window.
HDROP MakeDrop(const std::wstring& name) {
    const size_t bytes = sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    name.copy(reinterpret_cast<wchar_t*>(drop + 1), name.size());
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(BatchRun, ListAndFolderCommandsThatArriveDuringARunDoNothing) {
    const std::vector<std::wstring> paths{Input(L"a.wav", kLargeFile), Input(L"b.wav")};
    ListFiles(paths);
    SendMessageW(ControlById(ControlId::FileList).GetHandle(), LB_SETSEL, TRUE, 0);
    const WhenPumped commands([this] {
        for (const int32_t button :
             {ControlId::DeleteButton, ControlId::DeleteAllButton, ControlId::AddButton, ControlId::BrowseButton}) {
            PostClick(button);
        }
        PostMessageW(GetParent(ControlById(ControlId::FileList).GetHandle()), WM_DROPFILES,
                     reinterpret_cast<WPARAM>(MakeDrop(input + L"\\dropped.wav")), 0);
        return true;
    });
    bool dialogOpened = false;
    const WhenPumped dialogWatch([&dialogOpened] {
        const HWND dialog = FindOpenDialog();
        if (dialog != nullptr) {
            dialogOpened = true;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        return dialog != nullptr;
    });

    Click(ControlId::Start);

    ASSERT_TRUE(commands.Done());
    EXPECT_FALSE(dialogOpened);
    const auto& list = Control<ListboxInfo>(ControlId::FileList);
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(std::wstring(list.GetItem(0)), paths[0]);
    EXPECT_EQ(std::wstring(list.GetItem(1)), paths[1]);
    EXPECT_EQ(BoxText(ControlId::OutputFolder), output);
    EXPECT_EQ(LogLines(), (Lines{kStartLine, L"a.wav", L"b.wav", kCompletedLine, L"", kFolderPrefix + output}));
}

// b's job starts beside a's before the run waits for a, and so before the change; c's starts after.
TEST_F(BatchRun, GainChangedDuringTheRunReachesTheFilesWhoseJobStartsAfterIt) {
    ListFiles({Input(L"a.wav", kLargeFile), Input(L"b.wav"), Input(L"c.wav"), Input(L"d.wav"), Input(L"e.wav")});
    WhenPumped raiseVolume([] {
        EnterValue(ControlId::VolumePercent, L"200");
        return true;
    });

    Click(ControlId::Start);

    ASSERT_TRUE(raiseVolume.Done());
    // The jobs of b and c started beside a's.
    EXPECT_EQ(Output(L"b.wav"), AlternatingWave(kAmplitude, kSmallFile));
    EXPECT_EQ(Output(L"c.wav"), AlternatingWave(kAmplitude, kSmallFile));
    EXPECT_EQ(Output(L"d.wav"), AlternatingWave(2 * kAmplitude, kSmallFile));
    EXPECT_EQ(Output(L"e.wav"), AlternatingWave(2 * kAmplitude, kSmallFile));
}

void ClickCheckBox(int32_t controlId) {
    SendMessageW(ControlById(controlId).GetHandle(), BM_CLICK, 0, 0);
}

TEST_F(BatchRun, EachFileTakesTheValuesShownWhenItsJobStarts) {
    EnterValue(ControlId::VolumePercent, L"200.00");
    ListFiles({Input(L"a.wav", kLargeFile), Input(L"b.wav"), Input(L"c.wav"), Input(L"d.wav")});
    const WhenPumped changeDuringFirstFile([] {
        // Switched off and on again, the volume shows its box's value; the box is then raised.
        ClickCheckBox(ControlId::VolumeCheck);
        ClickCheckBox(ControlId::VolumeCheck);
        EnterValue(ControlId::VolumePercent, L"300");
        return true;
    });

    Click(ControlId::Start);

    ASSERT_TRUE(changeDuringFirstFile.Done());
    EXPECT_TRUE(Output(L"a.wav") == AlternatingWave(2 * kAmplitude, kLargeFile));
    EXPECT_EQ(Output(L"b.wav"), AlternatingWave(2 * kAmplitude, kSmallFile));
    EXPECT_EQ(Output(L"c.wav"), AlternatingWave(2 * kAmplitude, kSmallFile));
    EXPECT_EQ(Output(L"d.wav"), AlternatingWave(3 * kAmplitude, kSmallFile));
}

// A quiet head (-30 dB) before loud audio (-0.8 dB): a threshold of -4 dB cuts the head, -96 dB
// keeps all.
Bytes QuietHeadWave() {
    std::vector<int32_t> samples;
    for (const int16_t amplitude : {kAmplitude, int16_t{30000}}) {
        for (uint32_t i = 0; i < kSmallFile / 2; ++i) {
            samples.push_back(i % 2 == 0 ? amplitude : -amplitude);
        }
    }
    return MakeWave(16, samples);
}

// Typing "-40" into a threshold box passes through "-4", which would cut all but the loudest audio:
// files that start while the typed characters arrive take the value the box last committed.
TEST_F(BatchRun, ValueHalfTypedWhileFilesStartReachesNoFile) {
    EnterValue(ControlId::HeadThreshold, L"-96");
    WriteBytes(input + L"\\b.wav", QuietHeadWave());
    WriteBytes(input + L"\\c.wav", QuietHeadWave());
    WriteBytes(input + L"\\d.wav", QuietHeadWave());
    ListFiles({Input(L"a.wav", kLargeFile), input + L"\\b.wav", input + L"\\c.wav", input + L"\\d.wav"});
    const HWND box = ControlById(ControlId::HeadThreshold).GetHandle();
    const WhenPumped typeDuringFirstFile([box] {
        SetFocus(box);
        SendMessageW(box, EM_SETSEL, 0, -1);
        for (const wchar_t typed : {L'-', L'4'}) {
            PostMessageW(box, WM_CHAR, typed, 0);
        }
        return true;
    });

    Click(ControlId::Start);
    PumpPendingMessages();

    EXPECT_TRUE(typeDuringFirstFile.Done());
    // The run's end left the focus, and the typing, where they were.
    EXPECT_EQ(GetFocus(), box);
    EXPECT_EQ(BoxText(ControlId::HeadThreshold), L"-4");
    EXPECT_EQ(Output(L"b.wav"), QuietHeadWave());
    EXPECT_EQ(Output(L"c.wav"), QuietHeadWave());
    EXPECT_EQ(Output(L"d.wav"), QuietHeadWave());
    EnterValue(ControlId::HeadThreshold, L"-96");
}

// A click on Start takes the focus from the box first, which commits it; Start sent as a command
// moves no focus, and commits the box itself.
TEST_F(BatchRun, StartTakesTheValueBeingTypedIntoTheFocusedBox) {
    ListFiles({Input(L"a.wav")});
    for (const bool clicked : {true, false}) {
        SCOPED_TRACE(clicked ? "clicked" : "sent as a command");
        EnterValue(ControlId::VolumePercent, L"100");
        SetFocus(ControlById(ControlId::VolumePercent).GetHandle());
        SetBoxText(ControlId::VolumePercent, L"300");

        if (clicked) {
            WaitUntilStartAcceptsClicks();
            MouseClicks(ControlId::Start, 1);
            PumpPendingMessages();
        } else {
            Click(ControlId::Start);
        }

        EXPECT_EQ(BoxText(ControlId::VolumePercent), L"300.00");
        EXPECT_EQ(Output(L"a.wav"), AlternatingWave(3 * kAmplitude, kSmallFile));
    }
}

// Real mouse input on the rectangle that Start and Stop share. A marker in the log shows whether a
// click started another run, which replaces the log.
class SharedRectangle : public BatchRun {
protected:
    void MarkLog() { SetBoxText(ControlId::Log, L"marker"); }
    bool AnotherRunStarted() { return BoxText(ControlId::Log) != L"marker"; }
};

TEST_F(SharedRectangle, DoubleClickOnStartRunsEveryFile) {
    ListFiles({Input(L"a.wav", kLargeFile), Input(L"b.wav"), Input(L"c.wav")});
    WaitUntilStartAcceptsClicks();

    MouseClicks(ControlId::Start, 2);
    PumpPendingMessages();

    EXPECT_EQ(LogLines(),
              (Lines{kStartLine, L"a.wav", L"b.wav", L"c.wav", kCompletedLine, L"", kFolderPrefix + output}));
}

// A loaded machine may take longer than the usual double-click time between a run's start and the
// pump that sends the second click; a longer one keeps the test about the rule, not the machine.
class DoubleClickTimeScope {
public:
    explicit DoubleClickTimeScope(UINT milliseconds) : saved(GetDoubleClickTime()) { SetDoubleClickTime(milliseconds); }
    ~DoubleClickTimeScope() { SetDoubleClickTime(saved); }
    DoubleClickTimeScope(const DoubleClickTimeScope&) = delete;
    DoubleClickTimeScope& operator=(const DoubleClickTimeScope&) = delete;

private:
    UINT saved;
};

TEST_F(SharedRectangle, DoubleClickOnStartAtAPersonsPaceRunsEveryFile) {
    ListFiles({Input(L"a.wav", kLargeFile), Input(L"b.wav"), Input(L"c.wav")});
    const DoubleClickTimeScope slowMachine(2000);
    WaitUntilStartAcceptsClicks();
    // The second click comes once the run has started and Stop has taken the rectangle.
    const WhenPumped secondClick([] {
        if (!RunInProgress()) {
            return false;
        }
        MouseClicks(ControlId::Stop, 1);
        return true;
    });

    MouseClicks(ControlId::Start, 1);
    PumpPendingMessages();

    ASSERT_TRUE(secondClick.Done());
    EXPECT_EQ(LogLines(),
              (Lines{kStartLine, L"a.wav", L"b.wav", L"c.wav", kCompletedLine, L"", kFolderPrefix + output}));
}

TEST_F(SharedRectangle, StopClickedAsTheRunEndsStartsNothing) {
    ListFiles({Input(L"a.wav")});
    const WhenPumped clickAsTheRunEnds([] {
        MouseClicks(ControlId::Stop, 1);
        // The file ends meanwhile, so the run ends with the click still queued.
        Sleep(300);
        return true;
    });

    Click(ControlId::Start);
    MarkLog();
    // Long enough that Start would take a new click again.
    Sleep(GetDoubleClickTime() + 100);
    PumpPendingMessages();

    ASSERT_TRUE(clickAsTheRunEnds.Done());
    EXPECT_FALSE(AnotherRunStarted());
}

TEST_F(SharedRectangle, StartClickedSoonAfterStopOrARunsEndIsIgnored) {
    ListFiles({Input(L"a.wav")});
    for (const bool stopFirst : {false, true}) {
        SCOPED_TRACE(stopFirst ? "after Stop" : "after the run's end");
        Click(ControlId::Start);
        if (stopFirst) {
            Click(ControlId::Stop);
        }
        MarkLog();

        MouseClicks(ControlId::Start, 1);
        PumpPendingMessages();

        EXPECT_FALSE(AnotherRunStarted());
    }
    Sleep(GetDoubleClickTime());
    MouseClicks(ControlId::Start, 1);
    PumpPendingMessages();
    EXPECT_TRUE(AnotherRunStarted());
}

TEST_F(BatchRun, SecondFileForAnOutputWrittenInTheRunGetsTheErrorLine) {
    // In place, the second spelling would get the gain a second time.
    SetBoxText(ControlId::OutputFolder, input);
    EnterValue(ControlId::VolumePercent, L"200.00");
    const std::wstring original = Input(L"x.wav");
    ListFiles({original, input + L"\\..\\in\\.\\X.WAV"});

    Click(ControlId::Start);

    EXPECT_EQ(LogLines(),
              (Lines{kStartLine, L"x.wav", L"X.WAV", kErrorLine, L"この実行の別のファイルと出力ファイル名が同じです",
                     kCompletedLine, L"", kFolderPrefix + input}));
    EXPECT_EQ(ReadBytes(original), AlternatingWave(2 * kAmplitude, kSmallFile));
}

TEST_F(BatchRun, FolderTextTooLongForThePathBufferWritesNothing) {
    // Cut at 511 units, the text would name the output folder itself.
    std::wstring tooLong = output;
    for (int i = 0; i < 300; ++i) {
        tooLong += L"\\.";
    }
    tooLong += L"\\missing";
    SetBoxText(ControlId::OutputFolder, tooLong);
    TempFolder current;
    CurrentDirectoryScope currentDirectory(current.Path());
    ListFiles({Input(L"a.wav"), Input(L"b.wav")});

    Click(ControlId::Start);

    const std::vector<std::wstring> lines = LogLines();
    const std::wstring pathTooLong = L"出力先のパスが長すぎます";
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 9), (Lines{kStartLine, L"a.wav", kErrorLine, pathTooLong, L"b.wav",
                                                              kErrorLine, pathTooLong, kCompletedLine, L""}));
    EXPECT_EQ(lines[9].substr(0, kFolderPrefix.size() + output.size()), kFolderPrefix + output);
    EXPECT_TRUE(ListFolder(output).empty());
    EXPECT_TRUE(ListFolder(current.Path()).empty());
}

struct CaptureCase {
    const char* what;
    bool volumeOn;
    bool headOn;
    bool tailOn;
    float gain;
    float headDb;
    float headSec;
    float tailDb;
    float tailSec;
};

class CaptureSettingsTest : public testing::TestWithParam<CaptureCase> {};

void SetChecked(int32_t checkboxId, bool checked) {
    SendMessageW(ControlById(checkboxId).GetHandle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Click(checkboxId);
}

TEST_P(CaptureSettingsTest, ReadsEachPairOnlyWhenItsCheckBoxEnablesIt) {
    const CaptureCase& c = GetParam();
    // 10.07 %, whose gain value * 0.01f would miss by one float step.
    EnterValue(ControlId::VolumePercent, L"10.07");
    EnterValue(ControlId::HeadThreshold, L"-48");
    EnterValue(ControlId::HeadMargin, L"1.5");
    EnterValue(ControlId::TailThreshold, L"-60");
    EnterValue(ControlId::TailMargin, L"0.25");
    SetChecked(ControlId::VolumeCheck, c.volumeOn);
    SetChecked(ControlId::HeadCheck, c.headOn);
    SetChecked(ControlId::TailCheck, c.tailOn);
    // Only the logical flag counts, not the window's own state.
    EnableWindow(ControlById(ControlId::HeadThreshold).GetHandle(), FALSE);

    CaptureSettings();

    const ProcessingSettings& settings = ProcessingSettings::Instance();
    EXPECT_EQ(settings.gain.load(), c.gain) << c.what;
    EXPECT_EQ(settings.headThresholdDb.load(), c.headDb) << c.what;
    EXPECT_EQ(settings.headMarginSec.load(), c.headSec) << c.what;
    EXPECT_EQ(settings.tailThresholdDb.load(), c.tailDb) << c.what;
    EXPECT_EQ(settings.tailMarginSec.load(), c.tailSec) << c.what;

    SetChecked(ControlId::VolumeCheck, true);
    SetChecked(ControlId::HeadCheck, true);
    SetChecked(ControlId::TailCheck, true);
    EnterValue(ControlId::VolumePercent, L"100.00");
}

INSTANTIATE_TEST_SUITE_P(
    CheckBoxes, CaptureSettingsTest,
    testing::Values(CaptureCase{"all on", true, true, true, 0.1007f, -48.0f, 1.5f, -60.0f, 0.25f},
                    CaptureCase{"volume off", false, true, true, 1.0f, -48.0f, 1.5f, -60.0f, 0.25f},
                    CaptureCase{"head off", true, false, true, 0.1007f, 0.0f, 0.0f, -60.0f, 0.25f},
                    CaptureCase{"tail off", true, true, false, 0.1007f, -48.0f, 1.5f, 0.0f, 0.0f}));

TEST(PumpMessage, PutsBackAQuitMessageAndCancelsTheRun) {
    TheMainWindow();
    PostQuitMessage(7);

    PumpMessage();

    MSG quit;
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
    EXPECT_TRUE(ProcessingSettings::Instance().cancelRequested);
    ProcessingSettings::Instance().cancelRequested = false;
}

TEST(MainWindowClosed, DuringARunStopsItAtOnce) {
    TheMainWindow();
    EXPECT_EXIT(
        {
            LockControls();
            DestroyWindow(TheMainWindow());
            std::exit(ProcessingSettings::Instance().cancelRequested ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

DWORD WINAPI EndHungProcess(void*) {
    Sleep(60000);
    ExitProcess(3);
}

// The rest of the program's life, as its entry runs it: the message loop, shut-down and exit code 0.
// A watchdog ends a hung process with another code.
[[noreturn]] void RunProgramToItsEnd() {
    CloseHandle(CreateThread(nullptr, 0, EndHungProcess, nullptr, 0, nullptr));
    RunMessageLoop(TheMainWindow());
    ShutDown(TheProgram());
    std::exit(0);
}

// The run goes on in a child process that repeats the test up to the statement, so the folder has a
// name that both processes know.
class CloseDuringRun : public BatchRun {
protected:
    CloseDuringRun() : BatchRun(L"close-during-run") {}
};

TEST_F(CloseDuringRun, EndsTheProgramWithoutAPartialFile) {
    ListFiles({Input(L"a.wav", kLargeFile), Input(L"b.wav"), Input(L"c.wav")});

    EXPECT_EXIT(
        {
            PostClick(ControlId::Start);
            PostMessageW(TheMainWindow(), WM_CLOSE, 0, 0);
            RunProgramToItsEnd();
        },
        testing::ExitedWithCode(0), "");

    const Bytes first = Output(L"a.wav");
    EXPECT_TRUE(first.empty() || first == AlternatingWave(kAmplitude, kLargeFile));
    EXPECT_FALSE(FileExists(output + L"\\b.wav"));
    EXPECT_FALSE(FileExists(output + L"\\c.wav"));
}

}  // namespace
