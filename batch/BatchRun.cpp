// The Start and Stop commands: the run over the file list, with the list and folder controls locked
// and Stop in Start's place until it ends.
#include "batch/BatchRun.h"

#include "app/MainWindow.h"
#include "app/RememberedSettings.h"
#include "batch/ClickGuard.h"
#include "batch/OpenControl.h"
#include "batch/RunLog.h"
#include "batch/RunTitle.h"
#include "batch/TaskbarProgress.h"
#include "controls/ControlIds.h"
#include "controls/ListboxInfo.h"
#include "controls/TextVolumeInfo.h"
#include "core/FileRun.h"

#include <algorithm>
#include <memory>

namespace {

// The controls that could change the file list or the output folder while a worker reads them.
constexpr int32_t kLockedIds[] = {ControlId::FileList,  ControlId::DeleteButton, ControlId::DeleteAllButton,
                                  ControlId::AddButton, ControlId::BrowseButton, ControlId::OutputFolder,
                                  ControlId::Start};

// Files added during the run wait for the next one.
std::size_t ListedCount(const ListboxInfo* list) {
    return list == nullptr ? 0 : static_cast<std::size_t>(std::max(list->GetCount(), 0));
}

void RunListedFiles(FileRun& run, PumpingWorker& worker, const ListboxInfo* list, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        // A value committed while the run waited applies to the jobs that start from now on, never half-way
        // through one.
        CaptureSettings();
        if (!run.RunFile(list->GetItem(static_cast<int32_t>(i)), worker)) {
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
    // The button now on the rectangle takes the focus: the one that had it is disabled or hidden. A
    // value box keeps it, so that a value being typed there is committed by the user, not by the run.
    if (ControlItem* shown = locked ? stop : start; shown != nullptr && FocusedValueBox() == nullptr) {
        SetFocus(shown->GetHandle());
    }
}

}  // namespace

void StartRun() {
    if (RunInProgress() || SoonAfterStopOrRunEnd()) {
        return;
    }
    ProcessingSettings& settings = ProcessingSettings::Instance();
    const HWND window = currentMainWindow != nullptr ? currentMainWindow->window : nullptr;
    const std::unique_ptr<TaskbarProgress> taskbar = OpenTaskbarProgress(window);
    RunTitle title(window, taskbar.get());
    RunLog log(title);
    FileRun run(settings, log);
    // A value still being typed when Start is pressed counts, as it would once its box was left.
    if (TextVolumeInfo* typing = FocusedValueBox()) {
        typing->Commit();
    }
    CaptureSettings();
    const FolderText folder = CaptureOutputFolder(settings);
    if (!folder.fits) {
        run.RefuseForLongFolder(folder.text);
    }
    const ListboxInfo* list = ControlRegistry::Instance().Find<ListboxInfo>(ControlId::FileList);
    const std::size_t count = ListedCount(list);
    run.Start(count);
    NoteRunStart();
    LockControls();
    PumpingWorker worker;
    RunListedFiles(run, worker, list, count);
    // The outputs still held go into place while the controls are locked.
    run.End(worker);
    UnlockControls();
    NoteStopOrRunEnd();
    StoreWindowSettings();
}

void StopRun() {
    ProcessingSettings::Instance().cancelRequested = true;
    NoteStopOrRunEnd();
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
