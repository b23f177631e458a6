// How a fuzz input is laid out: the processing values first, then the bytes of the WAV file. The
// seed corpus is written in the same layout.
#pragma once

#include "core/ProcessingValues.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

struct FuzzInput {
    ProcessingValues values;
    std::vector<std::uint8_t> file;
};

// Raw floats for the gain and the thresholds, so that NaN, infinities and denormals come up; one
// signed byte per margin in units of 10 us, which keeps a margin of silence under 6 MB even at
// the largest byte rate a file can declare.
constexpr std::size_t kFuzzHeaderBytes = 14;
constexpr float kMarginStepSec = 0.00001f;

inline float FloatAt(const std::uint8_t* bytes) {
    float value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

inline bool SplitFuzzInput(const std::uint8_t* data, std::size_t size, FuzzInput& input) {
    if (size < kFuzzHeaderBytes) {
        return false;
    }
    input.values.gain = FloatAt(data);
    input.values.head.thresholdDb = FloatAt(data + 4);
    input.values.tail.thresholdDb = FloatAt(data + 8);
    input.values.head.marginSec = static_cast<std::int8_t>(data[12]) * kMarginStepSec;
    input.values.tail.marginSec = static_cast<std::int8_t>(data[13]) * kMarginStepSec;
    input.file.assign(data + kFuzzHeaderBytes, data + size);
    return true;
}

// The margins must be whole steps between -128 and 127 of them.
inline std::uint8_t MarginSteps(float marginSec) {
    return static_cast<std::uint8_t>(static_cast<std::int8_t>(std::lround(marginSec / kMarginStepSec)));
}

inline std::vector<std::uint8_t> JoinFuzzInput(const ProcessingValues& values, const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> out(kFuzzHeaderBytes);
    std::memcpy(out.data(), &values.gain, 4);
    std::memcpy(out.data() + 4, &values.head.thresholdDb, 4);
    std::memcpy(out.data() + 8, &values.tail.thresholdDb, 4);
    out[12] = MarginSteps(values.head.marginSec);
    out[13] = MarginSteps(values.tail.marginSec);
    out.insert(out.end(), file.begin(), file.end());
    return out;
}
