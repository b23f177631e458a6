#include "DiskRoom.h"

#include "FigureText.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdio>

namespace fs = std::filesystem;

std::uint64_t FreeBytes(const fs::path& folder) {
    struct statvfs disk {};
    return statvfs(folder.c_str(), &disk) == 0 ? static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize : 0;
}

bool EnoughRoom(const BenchOptions& options, const std::vector<BenchFile>& files) {
    std::uint64_t inputs = 0;
    std::uint64_t largest = 0;
    for (const BenchFile& file : files) {
        inputs += DiskBytes(file);
        largest = std::max(largest, FileBytes(file));
    }
    const bool together = fs::equivalent(options.work, options.outputs);
    const std::uint64_t work = kSlackBytes + inputs + (together ? 3 * largest : 0);
    const std::uint64_t outputs = kSlackBytes + 3 * largest;
    std::printf("free in %s: %s, needed: %s\n", options.work.c_str(), SizeText(FreeBytes(options.work)).c_str(),
                SizeText(work).c_str());
    if (!together) {
        std::printf("free in %s: %s, needed: %s\n", options.outputs.c_str(),
                    SizeText(FreeBytes(options.outputs)).c_str(), SizeText(outputs).c_str());
    }
    return FreeBytes(options.work) >= work && (together || FreeBytes(options.outputs) >= outputs);
}

fs::path OutputsWithRoom(const BenchOptions& options, const std::string& name, std::uint64_t needed) {
    for (const fs::path& folder : {options.outputs, options.work}) {
        if (FreeBytes(folder) >= needed) {
            return folder / "out";
        }
    }
    std::printf("\n%s: skipped for lack of room: its outputs need %s free, %s has %s and %s has %s\n", name.c_str(),
                SizeText(needed).c_str(), options.outputs.c_str(), SizeText(FreeBytes(options.outputs)).c_str(),
                options.work.c_str(), SizeText(FreeBytes(options.work)).c_str());
    return {};
}
