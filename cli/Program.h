// palvotrix-cli from its arguments to its exit status.
#pragma once

#include "core/Utf16.h"

#include <vector>

// `arguments` excludes the program name.
int RunProgram(const std::vector<Utf16String>& arguments);
