// The program's own start-up, run once per test program (hidden, without the message loop), so
// the tests see the main window and its controls exactly as wWinMain makes them.
#pragma once

#include "app/Startup.h"

Shell& TheProgram();
HWND TheMainWindow();
