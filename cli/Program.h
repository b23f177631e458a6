// palvotrix-cli from its arguments to its exit status.
#pragma once

#include "cli/CommandLine.h"

#include <vector>

// `arguments` excludes the program name.
int RunProgram(const std::vector<Argument>& arguments);
