// The Start and Stop commands: the loop over the file list with one worker thread per file.
#pragma once

#include <windows.h>

void StartRun();
void StopRun();
void CaptureSettings();
void LockControls();
void UnlockControls();
void PumpMessage();
unsigned __stdcall FileThreadProc(void* path);
