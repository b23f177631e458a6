// The main window's 34 controls: constructed, created, configured and registered in table order.
#pragma once

void CreateControls();
