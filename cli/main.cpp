// Entry point of palvotrix-cli: takes the arguments as the platform hands them over.
#include "cli/ExitStatus.h"
#include "cli/Program.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

#ifdef _WIN32

// What the system hands over names the file as it is, unpaired surrogates included.
std::vector<Argument> ArgumentsOf(int argc, wchar_t** argv) {
    std::vector<Argument> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back({argv[i], std::nullopt});
    }
    return arguments;
}

#else

std::vector<Argument> ArgumentsOf(int argc, char** argv) {
    std::vector<Argument> arguments;
    for (int i = 1; i < argc; ++i) {
        std::string given = argv[i];
        if (std::optional<Utf16String> text = Utf16FromExactUtf8(given)) {
            arguments.push_back({std::move(*text), std::nullopt});
        } else {
            arguments.push_back({Utf16FromUtf8(given), std::move(given)});
        }
    }
    return arguments;
}

#endif

template <class Char>
int RunGuarded(int argc, Char** argv) noexcept {
    try {
        return RunProgram(ArgumentsOf(argc, argv));
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
    return RunGuarded(argc, argv);
}
#else
int main(int argc, char** argv) {
    return RunGuarded(argc, argv);
}
#endif
