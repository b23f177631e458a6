// Start and Stop share one rectangle and swap as a run starts and ends: the clicks aimed at the
// button that was there before must not reach the other one.
#pragma once

#include <windows.h>

// Mouse input still queued on the button's rectangle when the buttons have just swapped.
void DiscardQueuedMouseInputOn(HWND button);
// The second click of a double click on Stop, or a Stop clicked as the run ends, lands on Start.
bool SoonAfterStopOrRunEnd();
// A double click on Start at a person's pace: its second press lands on Stop once the run has started.
bool IsSecondClickOfStart(const MSG& message);
void NoteRunStart();
void NoteStopOrRunEnd();
