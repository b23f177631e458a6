#include "BenchOptions.h"

#include <cstring>
#include <string>

bool ParseBenchOptions(int argc, char** argv, BenchOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--keep") {
            options.keep = true;
        } else if (arg.rfind("--outputs=", 0) == 0) {
            options.outputs = arg.substr(std::strlen("--outputs="));
        } else if (arg.rfind("--cli=", 0) == 0) {
            options.cli = arg.substr(std::strlen("--cli="));
        } else if (arg.rfind("--win32-cli=", 0) == 0) {
            options.win32Cli = arg.substr(std::strlen("--win32-cli="));
        } else if (arg.rfind("--win32-window=", 0) == 0) {
            options.win32Window = arg.substr(std::strlen("--win32-window="));
        } else if (arg.rfind("--", 0) == 0 || !options.work.empty()) {
            return false;
        } else {
            options.work = arg;
        }
    }
    if (options.outputs.empty()) {
        options.outputs = options.work;
    }
    return !options.work.empty();
}
