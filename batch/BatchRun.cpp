// The Start and Stop commands: a run over the file list, one worker thread per file, while the
// user-interface thread keeps dispatching messages.
#include "batch/BatchRun.h"

#include "app/MainWindow.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/ListboxInfo.h"
#include "controls/LogInfo.h"
#include "controls/ScopedWin.h"
#include "controls/TextVolumeInfo.h"
#include "controls/TextboxInfo.h"
#include "core/FileJob.h"
#include "core/ProcessingSettings.h"
#include "core/RunLogText.h"
#include "core/ValueBox.h"
#include "core/WrittenOutputs.h"

#include <process.h>

#include <cwchar>
#include <string>

namespace {

// The controls that could change the file list or the output folder while a worker reads them.
constexpr int32_t kLockedIds[] = {ControlId::FileList,  ControlId::DeleteButton, ControlId::DeleteAllButton,
                                  ControlId::AddButton, ControlId::BrowseButton, ControlId::OutputFolder,
                                  ControlId::Start};

// Closing the main window during a run destroys every control window while the run still holds
// the objects; such a control is treated as missing.
template <class T>
T* FindOpenControl(int32_t controlId) {
    T* control = ControlRegistry::Instance().Find<T>(controlId);
    if (control == nullptr || !IsWindow(control->GetHandle())) {
        return nullptr;
    }
    return control;
}

void ReplaceLog(const wchar_t* text) {
    if (LogInfo* log = FindOpenControl<LogInfo>(ControlId::Log)) {
        log->SetLogText(text, true);
    }
}

void AppendLog(const wchar_t* text) {
    if (LogInfo* log = FindOpenControl<LogInfo>(ControlId::Log)) {
        log->AppendLine(text, true);
    }
}

void AppendFolderLine(const wchar_t* folder) {
    wchar_t line[kTextCapacity] = {};
    // The count leaves the last unit zero, so a line cut at the buffer's end stays terminated.
    _snwprintf(line, kTextCapacity - 1, L"%ls%ls", kOutputFolderText, folder);
    AppendLog(line);
}

const wchar_t* FileNameOf(const wchar_t* path) {
    const wchar_t* backslash = std::wcsrchr(path, L'\\');
    return backslash == nullptr ? path : backslash + 1;
}

void CaptureVolume(ProcessingSettings& settings) {
    const TextVolumeInfo* volume = ControlRegistry::Instance().Find<TextVolumeInfo>(ControlId::VolumePercent);
    if (volume != nullptr && volume->IsEnabled()) {
        settings.gain = GainFromPercent(volume->GetValue());
    } else {
        settings.gain = 1.0f;
    }
}

// A value pair whose first box is missing or switched off by its check box counts as off.
void CaptureTrim(int32_t thresholdId, int32_t marginId, std::atomic<float>& thresholdDb,
                 std::atomic<float>& marginSec) {
    ControlRegistry& registry = ControlRegistry::Instance();
    const TextVolumeInfo* threshold = registry.Find<TextVolumeInfo>(thresholdId);
    if (threshold == nullptr || !threshold->IsEnabled()) {
        thresholdDb = 0.0f;
        marginSec = 0.0f;
        return;
    }
    const TextVolumeInfo* margin = registry.Find<TextVolumeInfo>(marginId);
    thresholdDb = threshold->GetValue();
    marginSec = margin == nullptr ? 0.0f : margin->GetValue();
}

// The folder box as the run sees it: the text, cut to the buffer for showing, and whether it fits
// whole.
struct FolderText {
    wchar_t text[kTextCapacity] = {};
    bool fits = true;
};

// A text that does not fit whole is refused rather than cut: a cut path names another folder.
FolderText CaptureOutputFolder(ProcessingSettings& settings) {
    FolderText folder;
    const TextboxInfo* box = ControlRegistry::Instance().Find<TextboxInfo>(ControlId::OutputFolder);
    if (box == nullptr) {
        return folder;
    }
    ReadEditLine(box->GetHandle(), folder.text);
    // The dialogs and anything else may have moved the current directory since the program started.
    if (folder.text[0] == L'\0' && currentMainWindow != nullptr) {
        Utf16Copy(folder.text, kTextCapacity, currentMainWindow->startFolder);
    }
    folder.fits = GetWindowTextLengthW(box->GetHandle()) < static_cast<int>(kTextCapacity);
    if (folder.fits) {
        Utf16Copy(settings.outputFolder, kTextCapacity, folder.text);
    }
    return folder;
}

// The worker reads the list's own copy of the path; the list is locked until the worker has ended.
HANDLE StartWorker(const wchar_t* path) {
    const uintptr_t thread = _beginthreadex(nullptr, 0, FileThreadProc, const_cast<wchar_t*>(path), 0, nullptr);
    return reinterpret_cast<HANDLE>(thread);
}

// Sleeps until the worker ends or a message arrives, and dispatches messages one at a time, so that
// painting, Stop and the value boxes stay live while the file is processed without keeping a
// processor busy. The worker is checked before each message, as the thread handle comes first.
void WaitWhilePumping(HANDLE thread) {
    // MWMO_INPUTAVAILABLE also wakes for messages that an earlier look at the queue left there.
    while (MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 + 1) {
        PumpMessage();
    }
}

// Returns false when no worker could be started for the file.
bool ProcessOnWorker(const wchar_t* path) {
    ThreadHandle worker(StartWorker(path));
    if (worker.Get() == nullptr) {
        return false;
    }
    WaitWhilePumping(worker.Get());
    return true;
}

// The file's own outcome is read only after its worker has ended; its reason follows the error line.
void ProcessListedFile(ProcessingSettings& settings, WrittenOutputs& written, const wchar_t* path, bool folderFits) {
    AppendLog(FileNameOf(path));
    if (folderFits) {
        RunListedFile(settings, written, path, [path]() { return ProcessOnWorker(path); });
    } else {
        RefuseFile(settings, FileReason::Kind::PathTooLong);
    }
    if (settings.errorOccurred) {
        AppendLog(kFileErrorText);
    }
    if (settings.reason.kind != FileReason::Kind::None) {
        AppendLog(JapaneseText(settings.reason).c_str());
    }
}

// A closed window ends the run like Stop; its quit message may not have reached the pump yet.
bool RunCancelled(const ProcessingSettings& settings, const ListboxInfo& list) {
    return settings.cancelRequested || !IsWindow(list.GetHandle());
}

void ProcessListedFiles(ProcessingSettings& settings, bool folderFits) {
    const ListboxInfo* list = ControlRegistry::Instance().Find<ListboxInfo>(ControlId::FileList);
    if (list == nullptr) {
        return;
    }
    // Files added during the run wait for the next one.
    const int32_t count = list->GetCount();
    WrittenOutputs written;
    for (int32_t i = 0; i < count; ++i) {
        // A value changed during the previous file applies from this one on, never half-way through one.
        CaptureSettings();
        ProcessListedFile(settings, written, list->GetItem(i), folderFits);
        if (RunCancelled(settings, *list)) {
            break;
        }
    }
}

void LogOutcome(const ProcessingSettings& settings, const FolderText& folder) {
    const std::wstring outcome = settings.cancelRequested ? kRunInterruptedText : kRunCompletedText;
    AppendLog((outcome + L"\n").c_str());
    if (!folder.fits) {
        AppendFolderLine(folder.text);
        return;
    }
    wchar_t outputFolder[kTextCapacity] = {};
    GetOutputFolder(settings, outputFolder);
    AppendFolderLine(outputFolder);
}

// Start and Stop have just swapped on their shared rectangle: mouse input still queued there was aimed
// at the button that was there before.
void DiscardQueuedMouseInputOn(HWND button) {
    RECT rectangle;
    if (!GetWindowRect(button, &rectangle)) {
        return;
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE) &&
           PtInRect(&rectangle, message.pt)) {
        if (!PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
            break;
        }
    }
}

void SetControlsLocked(bool locked) {
    for (const int32_t controlId : kLockedIds) {
        if (ControlItem* control = FindOpenControl<ControlItem>(controlId)) {
            control->SetEnabled(!locked);
            EnableWindow(control->GetHandle(), locked ? FALSE : TRUE);
        }
    }
    ControlItem* start = FindOpenControl<ControlItem>(ControlId::Start);
    ControlItem* stop = FindOpenControl<ControlItem>(ControlId::Stop);
    if (stop != nullptr) {
        ShowWindow(stop->GetHandle(), locked ? SW_SHOW : SW_HIDE);
    }
    if (start != nullptr) {
        DiscardQueuedMouseInputOn(start->GetHandle());
    }
    // The button now on the rectangle takes the focus: the one that had it is disabled or hidden.
    if (ControlItem* shown = locked ? stop : start) {
        SetFocus(shown->GetHandle());
    }
}

// The second click of a double click on Stop, or a Stop clicked as the run ends, lands on Start.
bool SoonAfterStopOrRunEnd() {
    return currentMainWindow != nullptr && GetTickCount() - currentMainWindow->stopOrRunEndTick < GetDoubleClickTime();
}

void NoteRunStart() {
    if (currentMainWindow != nullptr) {
        currentMainWindow->runStartTick = GetTickCount();
    }
}

// A double click on Start at a person's pace: its second press comes after the buttons swapped and
// lands on Stop, so it never reached the queue that the swap cleared.
bool IsSecondClickOfStart(const MSG& message) {
    if (message.message != WM_LBUTTONDOWN && message.message != WM_LBUTTONDBLCLK) {
        return false;
    }
    const ControlItem* stop = FindOpenControl<ControlItem>(ControlId::Stop);
    return stop != nullptr && currentMainWindow != nullptr && message.hwnd == stop->GetHandle() &&
           message.time - currentMainWindow->runStartTick < GetDoubleClickTime();
}

void NoteStopOrRunEnd() {
    if (currentMainWindow != nullptr) {
        currentMainWindow->stopOrRunEndTick = GetTickCount();
    }
}

}  // namespace

void StartRun() {
    if (RunInProgress() || SoonAfterStopOrRunEnd()) {
        return;
    }
    ProcessingSettings& settings = ProcessingSettings::Instance();
    // A Stop click still queued when the previous run ended must not cancel this one.
    settings.cancelRequested = false;
    CaptureSettings();
    const FolderText folder = CaptureOutputFolder(settings);
    ReplaceLog(kRunStartText);
    NoteRunStart();
    LockControls();
    ProcessListedFiles(settings, folder.fits);
    UnlockControls();
    LogOutcome(settings, folder);
    settings.cancelRequested = false;
    NoteStopOrRunEnd();
}

void StopRun() {
    ProcessingSettings::Instance().cancelRequested = true;
    NoteStopOrRunEnd();
}

void CaptureSettings() {
    for (const int32_t checkboxId : {ControlId::VolumeCheck, ControlId::HeadCheck, ControlId::TailCheck}) {
        CaptureSettingsOf(checkboxId);
    }
}

void CaptureSettingsOf(int32_t checkboxId) {
    ProcessingSettings& settings = ProcessingSettings::Instance();
    switch (checkboxId) {
        case ControlId::VolumeCheck:
            CaptureVolume(settings);
            break;
        case ControlId::HeadCheck:
            CaptureTrim(ControlId::HeadThreshold, ControlId::HeadMargin, settings.headThresholdDb,
                        settings.headMarginSec);
            break;
        case ControlId::TailCheck:
            CaptureTrim(ControlId::TailThreshold, ControlId::TailMargin, settings.tailThresholdDb,
                        settings.tailMarginSec);
            break;
        default:
            break;
    }
}

// Start's logical flag is off exactly while a run is in progress; so a Start click queued before Start
// was disabled cannot begin a second run inside this one.
bool RunInProgress() {
    const ControlItem* start = ControlRegistry::Instance().FindByControlId(ControlId::Start);
    return start != nullptr && !start->IsEnabled();
}

void LockControls() {
    SetControlsLocked(true);
}

void UnlockControls() {
    SetControlsLocked(false);
}

void PumpMessage() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        return;
    }
    if (message.message == WM_QUIT) {
        // The window was closed during a run: the message loop must still see the quit, and the run
        // ends after the file in progress.
        StopRun();
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
    }
    if (IsSecondClickOfStart(message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

unsigned __stdcall FileThreadProc(void* path) {
    ProcessingSettings& settings = ProcessingSettings::Instance();
    try {
        ProcessFile(settings, static_cast<const Utf16Char*>(path));
    } catch (...) {
        // Nothing may unwind out of a thread entry; the file is reported like any other failure.
        settings.errorOccurred = true;
    }
    return 0;
}
