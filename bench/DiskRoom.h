// Whether the disk has room for the benchmark's files and their outputs, checked before they are
// written so that a full disk skips a file instead of failing half-way.
#pragma once

#include "BenchFiles.h"
#include "BenchOptions.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

std::uint64_t FreeBytes(const std::filesystem::path& folder);

// Room left free beside a case's outputs.
constexpr std::uint64_t kSlackBytes = std::uint64_t{1} << 30;

// Room for the timed files, and for their outputs: two stay side by side for the comparison, and
// sox writes a third. Prints what is free and what is needed.
bool EnoughRoom(const BenchOptions& options, const std::vector<BenchFile>& files);

// The folder for the outputs of the file named `name`: the outputs folder, or else the work folder
// (on disk, where the outputs folder may be a small tmpfs). Empty, and said why, when neither has
// `needed` bytes free; the file is then skipped.
std::filesystem::path OutputsWithRoom(const BenchOptions& options, const std::string& name, std::uint64_t needed);
