// The Start and Stop commands: the run over the file list, on the run's worker threads.
#pragma once

#include "batch/FileWorker.h"
#include "batch/SettingsCapture.h"

#include <windows.h>

void StartRun();
void StopRun();
// True from Start until the run's end: the list and the folder must not change meanwhile.
bool RunInProgress();
void LockControls();
void UnlockControls();
