// Recognises an output path written earlier in the run under any spelling of its folder.
#include "core/WrittenOutputs.h"

#include "core/FileService.h"
#include "core/PathParts.h"
#include "core/WaveWriter.h"

#include <vector>

#ifdef _WIN32
#include <cwctype>
#endif

namespace {

#ifdef _WIN32
// "C:\..." or "\\server\share\...".
bool IsAbsolute(const Utf16String& path) {
    return (path.size() >= 3 && path[1] == L':' && IsPathSeparator(path[2])) ||
           (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]));
}
#else
bool IsAbsolute(const Utf16String& path) {
    return !path.empty() && path[0] == u'/';
}
#endif

// The leading part that ".." never climbs above: "/", "C:" or "\\" with a server and share name.
std::size_t RootLength([[maybe_unused]] const Utf16String& path, std::size_t& fixedParts) {
    fixedParts = 0;
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == L':') {
        return 2;
    }
    fixedParts = 2;
#endif
    return 0;
}

std::vector<Utf16String> PartsOf(const Utf16String& path, std::size_t from, std::size_t fixedParts) {
    std::vector<Utf16String> parts;
    std::size_t start = from;
    for (std::size_t i = from; i <= path.size(); ++i) {
        if (i < path.size() && !IsPathSeparator(path[i])) {
            continue;
        }
        const Utf16String part = path.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == Utf16FromUtf8(".")) {
            continue;
        }
        if (part == Utf16FromUtf8("..")) {
            if (parts.size() > fixedParts) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    return parts;
}

}  // namespace

Utf16String WrittenOutputs::Normalised(const Utf16Char* path) {
    Utf16String full(path);
    if (!IsAbsolute(full)) {
        Utf16Char folder[kTextCapacity] = {};
        if (!fileservice::CurrentFolder(folder, kTextCapacity)) {
            return Utf16String();
        }
        full = Utf16String(folder) + kPathSeparator + full;
    }
    std::size_t fixedParts = 0;
    const std::size_t rootLength = RootLength(full, fixedParts);
    Utf16String result = full.substr(0, rootLength);
    for (const Utf16String& part : PartsOf(full, rootLength, fixedParts)) {
        result += kPathSeparator;
        result += part;
    }
#ifdef _WIN32
    for (Utf16Char& unit : result) {
        unit = static_cast<Utf16Char>(std::towupper(unit));
    }
#endif
    return result;
}

Utf16String WrittenOutputs::NormalisedOutputPath(const ProcessingSettings& settings, const Utf16Char* inputPath) {
    Utf16Char outputPath[kTextCapacity] = {};
    if (!BuildOutputPath(settings, inputPath, outputPath)) {
        return Utf16String();
    }
    return Normalised(outputPath);
}

bool WrittenOutputs::AlreadyWritten(const ProcessingSettings& settings, const Utf16Char* inputPath) const {
    const Utf16String path = NormalisedOutputPath(settings, inputPath);
    return !path.empty() && written_.count(path) != 0;
}

void WrittenOutputs::Remember(const ProcessingSettings& settings, const Utf16Char* inputPath) {
    const Utf16String path = NormalisedOutputPath(settings, inputPath);
    if (!path.empty()) {
        written_.insert(path);
    }
}

void WrittenOutputs::Forget(const ProcessingSettings& settings, const Utf16Char* inputPath) {
    written_.erase(NormalisedOutputPath(settings, inputPath));
}
