// The commands of the buttons around the file list and the output-folder box.
#pragma once

#include <windows.h>

#include <vector>
#include <string>

void DeleteSelectedFiles();
void DeleteAllFiles();
void AddFiles(HWND owner);
void ChooseOutputFolder(HWND owner);

// Splits the open dialog's result (one full path, or a folder followed by names, each
// zero-terminated, ending with an empty string) into full paths; a joined path that does not fit
// in 512 units is skipped.
std::vector<std::wstring> ParseOpenDialogResult(const wchar_t* buffer, size_t capacity);

bool BrowseForFolder(HWND owner, const wchar_t* initialFolder, wchar_t* result);
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM data);
