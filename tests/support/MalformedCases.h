// Malformed and borderline WAV files with the outcome each must have, shared by the malformed-input
// test and the fuzzer's seed corpus.
#pragma once

#include "WavBuilder.h"

#include <string>
#include <vector>

// The settings every case is run with: a gain of 2 and both ends trimmed at -40 dB, no margins.
constexpr float kCaseGain = 2.0f;
constexpr float kCaseThresholdDb = -40.0f;

enum class Outcome {
    // Read gives false: the job sets its error flag and writes nothing.
    Refused,
    // The job writes `output`.
    Written,
};

struct MalformedCase {
    std::string what;
    Bytes input;
    Outcome outcome;
    Bytes output;
};

std::vector<MalformedCase> MalformedCases();
