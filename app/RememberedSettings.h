// The window's settings kept between starts: shown from the settings file at start-up, stored at the
// end of every run and when the main window closes. The file list is not kept.
#pragma once

#include "app/SettingsStore.h"

// Keeps `places` in the main window's record and shows what the file there holds.
void RestoreWindowSettings(const SettingsPlaces& places);

// Stores what the main window shows, where the record's places say; nothing once its window is gone.
void StoreWindowSettings();
