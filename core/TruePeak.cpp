// The oversampling peak meter: a polyphase interpolator over each channel.
#include "core/TruePeak.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::size_t kPhases = 4;
constexpr std::size_t kTaps = 12;
constexpr std::size_t kHistory = kTaps - 1;

// The interpolation filter of 48 coefficients in its four phases; phase p gives the point p/4 of a
// sample period on, tap 0 applying to the newest sample.
constexpr double kFilter[kPhases][kTaps] = {
    {0.0017089843750, 0.0109863281250, -0.0196533203125, 0.0332031250000, -0.0594482421875, 0.1373291015625,
     0.9721679687500, -0.1022949218750, 0.0476074218750, -0.0266113281250, 0.0148925781250, -0.0083007812500},
    {-0.0291748046875, 0.0292968750000, -0.0517578125000, 0.0891113281250, -0.1665039062500, 0.4650878906250,
     0.7797851562500, -0.2003173828125, 0.1015625000000, -0.0582275390625, 0.0330810546875, -0.0189208984375},
    {-0.0189208984375, 0.0330810546875, -0.0582275390625, 0.1015625000000, -0.2003173828125, 0.7797851562500,
     0.4650878906250, -0.1665039062500, 0.0891113281250, -0.0517578125000, 0.0292968750000, -0.0291748046875},
    {-0.0083007812500, 0.0148925781250, -0.0266113281250, 0.0476074218750, -0.1022949218750, 0.9721679687500,
     0.1373291015625, -0.0594482421875, 0.0332031250000, -0.0196533203125, 0.0109863281250, 0.0017089843750},
};

// The interpolated point of `phase` whose newest sample is `newest`.
double Interpolated(const double* newest, std::size_t phase) {
    double sum = 0.0;
    for (std::size_t k = 0; k < kTaps; ++k) {
        sum += kFilter[phase][k] * newest[-static_cast<std::ptrdiff_t>(k)];
    }
    return sum;
}

}  // namespace

std::size_t TruePeakMeter::Factor(std::uint32_t sampleRate) {
    if (sampleRate < 88200) {
        return 4;
    }
    return sampleRate < 176400 ? 2 : 1;
}

TruePeakMeter::TruePeakMeter(std::uint32_t sampleRate, std::size_t channels)
    : channels_(channels), phaseStep_(kPhases / Factor(sampleRate)), history_(channels * kHistory, 0.0) {}

void TruePeakMeter::Add(const double* samples, std::size_t frames) {
    for (std::size_t c = 0; c < channels_; ++c) {
        AddChannel(c, samples, frames);
    }
}

void TruePeakMeter::Precede(const double* samples, std::size_t frames) {
    for (std::size_t c = 0; c < channels_; ++c) {
        Line(c, samples, frames);
        std::copy(line_.end() - kHistory, line_.end(), history_.begin() + c * kHistory);
    }
}

void TruePeakMeter::Line(std::size_t channel, const double* samples, std::size_t frames) {
    line_.resize(kHistory + frames);
    const double* history = history_.data() + channel * kHistory;
    std::copy(history, history + kHistory, line_.begin());
    for (std::size_t i = 0; i < frames; ++i) {
        line_[kHistory + i] = samples[i * channels_ + channel];
    }
}

void TruePeakMeter::AddChannel(std::size_t channel, const double* samples, std::size_t frames) {
    Line(channel, samples, frames);
    double peak = peak_;
    for (std::size_t i = 0; i < frames; ++i) {
        peak = std::max(peak, std::abs(line_[kHistory + i]));
    }
    if (phaseStep_ < kPhases) {
        for (std::size_t i = 0; i < frames; ++i) {
            const double* newest = line_.data() + kHistory + i;
            for (std::size_t phase = 0; phase < kPhases; phase += phaseStep_) {
                peak = std::max(peak, std::abs(Interpolated(newest, phase)));
            }
        }
    }
    std::copy(line_.end() - kHistory, line_.end(), history_.begin() + channel * kHistory);
    peak_ = peak;
}
