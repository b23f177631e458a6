// Entry point of palvotrix-cli: takes the arguments as the platform hands them over.
#include "cli/ExitStatus.h"
#include "cli/Program.h"
#include "core/Utf16.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

int RunGuarded(const std::vector<Utf16String>& arguments) noexcept {
    try {
        return RunProgram(arguments);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "palvotrix-cli: %s\n", error.what());
    } catch (...) {
        std::fputs("palvotrix-cli: unexpected failure\n", stderr);
    }
    return kExitFileFailed;
}

}  // namespace

#ifdef _WIN32

int wmain(int argc, wchar_t** argv) {
    return RunGuarded(std::vector<Utf16String>(argv + 1, argv + argc));
}

#else

int main(int argc, char** argv) {
    std::vector<Utf16String> arguments;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string argument = argv[i];
            Utf16String converted = Utf16FromUtf8(argument);
            // A name that does not survive the conversion would open another file, or none.
            if (Utf8FromUtf16(converted.c_str()) != argument) {
                std::fprintf(stderr, "palvotrix-cli: argument %d is not valid UTF-8\n", i);
                return kExitBadArguments;
            }
            arguments.push_back(std::move(converted));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "palvotrix-cli: %s\n", error.what());
        return kExitFileFailed;
    }
    return RunGuarded(arguments);
}

#endif
