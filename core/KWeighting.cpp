// The K-weighting sections from their analog definitions.
#include "core/KWeighting.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The shelf: +4 dB above about 1.7 kHz, the head's acoustic effect.
constexpr double kShelfHz = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
// The share of the shelf's gain that its zeros' damping takes.
constexpr double kShelfZeroShare = 0.4996667741545416;

// The revised low-frequency B-curve: a second-order high-pass near 38 Hz.
constexpr double kHighPassHz = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;

Biquad Shelf(double sampleRate) {
    const double k = std::tan(kPi * kShelfHz / sampleRate);
    const double vh = std::pow(10.0, kShelfGainDb / 20.0);
    const double vb = std::pow(vh, kShelfZeroShare);
    const double a0 = 1.0 + k / kShelfQ + k * k;
    return {(vh + vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / kShelfQ + k * k) / a0,
            2.0 * (k * k - 1.0) / a0, (1.0 - k / kShelfQ + k * k) / a0};
}

double HighPassA0(double sampleRate) {
    const double k = std::tan(kPi * kHighPassHz / sampleRate);
    return 1.0 + k / kHighPassQ + k * k;
}

// The published 48 kHz high-pass has the numerator 1, -2, 1, so its pass band lies a0 above unity
// and the loudness offset of -0.691 dB is calibrated with that gain. The numerator at other rates
// keeps the same pass-band gain, so that one tone measures the same at every rate.
Biquad HighPass(double sampleRate) {
    const double k = std::tan(kPi * kHighPassHz / sampleRate);
    const double a0 = HighPassA0(sampleRate);
    const double b = HighPassA0(48000.0) / a0;
    return {b, -2.0 * b, b, 2.0 * (k * k - 1.0) / a0, (1.0 - k / kHighPassQ + k * k) / a0};
}

}  // namespace

KWeighting KWeightingAt(double sampleRate) {
    return {Shelf(sampleRate), HighPass(sampleRate)};
}
