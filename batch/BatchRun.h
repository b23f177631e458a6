// The Start and Stop commands: the loop over the file list with one worker thread per file.
#pragma once

#include <windows.h>

#include <cstdint>

void StartRun();
void StopRun();
void CaptureSettings();
// Copies the one group of processing values that the check box switches, as the window shows it.
void CaptureSettingsOf(int32_t checkboxId);
// True from Start until the run's end: the list and the folder must not change meanwhile.
bool RunInProgress();
void LockControls();
void UnlockControls();
void PumpMessage();
unsigned __stdcall FileThreadProc(void* path);
