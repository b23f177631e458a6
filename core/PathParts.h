// A path as this platform spells it: its separators, and the file name at its end.
#pragma once

#include "core/Utf16.h"

// The separator this program writes into the paths it builds.
#ifdef _WIN32
constexpr Utf16Char kPathSeparator = L'\\';
#else
constexpr Utf16Char kPathSeparator = u'/';
#endif

// Windows reads '/' as a separator as well as '\'.
bool IsPathSeparator(Utf16Char unit);

// What follows the last separator; the whole path when there is none.
const Utf16Char* FileNameOf(const Utf16Char* path);

// The path up to and with its last separator; empty for a bare file name.
Utf16String FolderPartOf(const Utf16Char* path);
