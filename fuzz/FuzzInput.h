// How a fuzz input is laid out: the processing values first, then the bytes of the WAV file. The
// seed corpus is written in the same layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

struct FuzzInput {
    float gain = 1.0f;
    float headLinear = 1.0f;
    float tailLinear = 1.0f;
    float headMarginSec = 0.0f;
    float tailMarginSec = 0.0f;
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
    input.gain = FloatAt(data);
    input.headLinear = FloatAt(data + 4);
    input.tailLinear = FloatAt(data + 8);
    input.headMarginSec = static_cast<std::int8_t>(data[12]) * kMarginStepSec;
    input.tailMarginSec = static_cast<std::int8_t>(data[13]) * kMarginStepSec;
    input.file.assign(data + kFuzzHeaderBytes, data + size);
    return true;
}

inline std::vector<std::uint8_t> JoinFuzzInput(float gain, float headLinear, float tailLinear,
                                               std::int8_t headMargin, std::int8_t tailMargin,
                                               const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> out(kFuzzHeaderBytes);
    std::memcpy(out.data(), &gain, 4);
    std::memcpy(out.data() + 4, &headLinear, 4);
    std::memcpy(out.data() + 8, &tailLinear, 4);
    out[12] = static_cast<std::uint8_t>(headMargin);
    out[13] = static_cast<std::uint8_t>(tailMargin);
    out.insert(out.end(), file.begin(), file.end());
    return out;
}
