// The channel weights, the K-weighted mean squares in steps of 100 ms, and the two gates.
#include "core/Loudness.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A block's loudness is this offset plus ten times the logarithm of its weighted energy.
constexpr double kOffset = -0.691;
constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kRelativeGateLu = -10.0;
constexpr double kSurroundWeight = 1.41;

// Histogram bins of a hundredth of an LU from the absolute gate up; louder blocks share the last.
constexpr double kBinsPerLu = 100.0;
constexpr std::size_t kBins = 200 * 100;

// The speaker positions of the extensible channel mask that are weighed apart from the front.
constexpr std::uint32_t kLowFrequency = 0x8;
constexpr std::uint32_t kBackLeft = 0x10;
constexpr std::uint32_t kBackRight = 0x20;
constexpr std::uint32_t kSideLeft = 0x200;
constexpr std::uint32_t kSideRight = 0x400;

double WeightOfSpeaker(std::uint32_t speaker) {
    if (speaker == kLowFrequency) {
        return 0.0;
    }
    const bool surround =
        speaker == kBackLeft || speaker == kBackRight || speaker == kSideLeft || speaker == kSideRight;
    return surround ? kSurroundWeight : 1.0;
}

// The channels take the mask's set bits from the lowest up; channels past them name no speaker.
std::vector<double> WeightsByMask(std::uint32_t mask, std::size_t channels) {
    std::vector<double> weights(channels, 1.0);
    std::size_t channel = 0;
    for (std::uint32_t bit = 1; bit != 0 && channel < channels; bit <<= 1) {
        if ((mask & bit) != 0) {
            weights[channel++] = WeightOfSpeaker(bit);
        }
    }
    return weights;
}

std::vector<double> WeightsByCount(std::size_t channels) {
    if (channels == 5) {
        return {1.0, 1.0, 1.0, kSurroundWeight, kSurroundWeight};
    }
    if (channels == 6) {
        return {1.0, 1.0, 1.0, 0.0, kSurroundWeight, kSurroundWeight};
    }
    return std::vector<double>(channels, 1.0);
}

double LufsOf(double energy) {
    return kOffset + 10.0 * std::log10(energy);
}

double BinFloorLufs(std::size_t bin) {
    return kAbsoluteGateLufs + static_cast<double>(bin) / kBinsPerLu;
}

// One sample through both sections in direct form I, the second section's inputs being the first
// one's outputs. Each section's feedback is added last, so that a sample waits on the one before
// for a multiplication and a subtraction only.
void Step(const KWeighting& k, double x, LoudnessChannel& c) {
    const Biquad& s = k.shelf;
    const Biquad& p = k.highPass;
    const double shelf = (s.b0 * x + s.b1 * c.in1 + s.b2 * c.in2 - s.a2 * c.shelf2) - s.a1 * c.shelf1;
    const double pass = (p.b0 * shelf + p.b1 * c.shelf1 + p.b2 * c.shelf2 - p.a2 * c.pass2) - p.a1 * c.pass1;
    c.in2 = c.in1;
    c.in1 = x;
    c.shelf2 = c.shelf1;
    c.shelf1 = shelf;
    c.pass2 = c.pass1;
    c.pass1 = pass;
    c.squares += pass * pass;
}

// Two channels in one loop, so that the processor works on one while the other waits.
void FilterTwo(const KWeighting& k, const double* samples, std::size_t stride, std::size_t frames,
               LoudnessChannel& first, LoudnessChannel& second) {
    LoudnessChannel a = first;
    LoudnessChannel b = second;
    for (std::size_t i = 0; i < frames; ++i) {
        Step(k, samples[i * stride], a);
        Step(k, samples[i * stride + 1], b);
    }
    first = a;
    second = b;
}

void FilterOne(const KWeighting& k, const double* samples, std::size_t stride, std::size_t frames,
               LoudnessChannel& channel) {
    LoudnessChannel a = channel;
    for (std::size_t i = 0; i < frames; ++i) {
        Step(k, samples[i * stride], a);
    }
    channel = a;
}

// The frame that ends step `step`: steps split the second into tenths to the frame, also where a
// tenth of the rate is no whole number.
std::uint64_t StepEnd(std::uint64_t step, std::uint32_t sampleRate) {
    return (step + 1) * sampleRate / 10;
}

}  // namespace

std::vector<double> ChannelWeights(const WaveFormat& format) {
    const bool extensible = format.formatTag == 0xFFFE;
    if (extensible && format.channelMask != 0) {
        return WeightsByMask(format.channelMask, format.channels);
    }
    return WeightsByCount(format.channels);
}

LoudnessGate::LoudnessGate() : energy_(kBins, 0.0), blocks_(kBins, 0) {}

void LoudnessGate::Add(double energy) {
    const double lufs = LufsOf(energy);
    if (!(lufs > kAbsoluteGateLufs)) {
        return;
    }
    const double bin = std::min((lufs - kAbsoluteGateLufs) * kBinsPerLu, static_cast<double>(kBins - 1));
    const auto index = static_cast<std::size_t>(bin);
    energy_[index] += energy;
    ++blocks_[index];
}

double LoudnessGate::IntegratedLufs() const {
    double energy = 0.0;
    std::uint64_t blocks = 0;
    for (std::size_t bin = 0; bin < kBins; ++bin) {
        energy += energy_[bin];
        blocks += blocks_[bin];
    }
    if (blocks == 0) {
        return -std::numeric_limits<double>::infinity();
    }
    const double relativeGate = LufsOf(energy / static_cast<double>(blocks)) + kRelativeGateLu;
    energy = 0.0;
    blocks = 0;
    // A bin counts when its middle is above the gate.
    for (std::size_t bin = 0; bin < kBins; ++bin) {
        if (BinFloorLufs(bin) + 0.5 / kBinsPerLu > relativeGate) {
            energy += energy_[bin];
            blocks += blocks_[bin];
        }
    }
    return blocks == 0 ? -std::numeric_limits<double>::infinity() : LufsOf(energy / static_cast<double>(blocks));
}

LoudnessMeter::LoudnessMeter(const WaveFormat& format)
    : filter_(KWeightingAt(format.sampleRate)),
      sampleRate_(format.sampleRate),
      weights_(ChannelWeights(format)),
      channels_(format.channels),
      stepEnd_(StepEnd(0, format.sampleRate)) {}

void LoudnessMeter::Add(const double* samples, std::size_t frames) {
    const std::size_t width = channels_.size();
    while (frames > 0) {
        const auto run = static_cast<std::size_t>(std::min<std::uint64_t>(frames, stepEnd_ - frame_));
        Filter(samples, run);
        frame_ += run;
        samples += run * width;
        frames -= run;
        if (frame_ == stepEnd_) {
            EndStep();
        }
    }
}

// The channels in pairs, each pair's state kept in registers.
void LoudnessMeter::Filter(const double* samples, std::size_t frames) {
    const std::size_t width = channels_.size();
    std::size_t c = 0;
    for (; c + 1 < width; c += 2) {
        FilterTwo(filter_, samples + c, width, frames, channels_[c], channels_[c + 1]);
    }
    if (c < width) {
        FilterOne(filter_, samples + c, width, frames, channels_[c]);
    }
}

// A step ends: its weighted energy joins the block, and a block of four whole steps is gated.
void LoudnessMeter::EndStep() {
    double energy = 0.0;
    for (std::size_t c = 0; c < channels_.size(); ++c) {
        energy += weights_[c] * channels_[c].squares;
        channels_[c].squares = 0.0;
    }
    const std::size_t slot = steps_ % 4;
    stepEnergy_[slot] = energy;
    stepFrames_[slot] = stepEnd_ - (steps_ == 0 ? 0 : StepEnd(steps_ - 1, sampleRate_));
    ++steps_;
    stepEnd_ = StepEnd(steps_, sampleRate_);
    if (steps_ >= 4) {
        const double squares = stepEnergy_[0] + stepEnergy_[1] + stepEnergy_[2] + stepEnergy_[3];
        const std::uint64_t blockFrames = stepFrames_[0] + stepFrames_[1] + stepFrames_[2] + stepFrames_[3];
        gate_.Add(squares / static_cast<double>(blockFrames));
    }
}
