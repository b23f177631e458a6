// A small file read whole, and replaced whole and safely: the window's settings file.
#pragma once

#include "core/Utf16.h"

#include <cstddef>
#include <string>

// The file's bytes; false when it cannot be read or holds more than `limit` bytes.
bool ReadSmallFile(const Utf16Char* path, std::size_t limit, std::string& contents);

// Writes `contents` to a temporary file beside `path`, flushes it and moves it into place, so that
// the file is either the old one or the new one, never a part. False, with nothing left behind,
// when any step fails.
bool ReplaceSmallFile(const Utf16Char* path, const std::string& contents);
