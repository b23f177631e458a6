// What the benchmark times on a file: a copy, the minimal whole-file program, the job, sox, and
// the shipped i686 program under Wine, each run and measured in a child process of its own.
#pragma once

#include "BenchOptions.h"
#include "ChildMeasure.h"

#include <filesystem>

// The job's settings, which every case follows.
constexpr float kGain = 1.5f;
constexpr float kThresholdDb = -40.0f;

// Wine for the i686 programs, from the repository's root, where scripts/bench.sh starts the
// benchmark.
inline constexpr char kWithWine[] = "scripts/with-wine.sh";
inline constexpr char kWineExec[] = "scripts/wine-exec";

// The loudness the job with a level target brings each file to.
constexpr double kTargetLufs = -23.0;

// Beside the job: the job with a loudness target instead of the gain, and the measurement alone.
enum class Case { Copy, Minimal, Job, Loudness, Measure, Sox, Win32 };

// The cases of the timed rounds, all but the i686 program.
constexpr int kTimedCases = 6;
constexpr Case kTimed[kTimedCases] = {Case::Copy, Case::Minimal, Case::Job, Case::Loudness, Case::Measure, Case::Sox};

// The case's name, also the folder its output goes into.
const char* NameOf(Case c);

// Runs the case on `in`, its output going into `outFolder` under the input's name; each output is
// on the disk before the time stops.
Measurement MeasureCase(Case c, const std::filesystem::path& in, const std::filesystem::path& outFolder,
                        const BenchOptions& options);
