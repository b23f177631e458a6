// A std::filesystem path as the core's UTF-16 text, for the command line and the tests, which
// build their paths with std::filesystem.
#pragma once

#include "core/Utf16.h"

#include <filesystem>

Utf16String Utf16FromPath(const std::filesystem::path& path);
