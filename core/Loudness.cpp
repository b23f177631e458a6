// The channel weights, the K-weighted mean squares in steps of 100 ms, and the two gates.
#include "core/Loudness.h"

#include <algorithm>
#include <cmath>
#include <iterator>
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

void LoudnessGate::Join(const LoudnessGate& other) {
    for (std::size_t bin = 0; bin < kBins; ++bin) {
        energy_[bin] += other.energy_[bin];
        blocks_[bin] += other.blocks_[bin];
    }
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

LoudnessMeter::LoudnessMeter(const WaveFormat& format, std::uint64_t firstStep)
    : filter_(KWeightingAt(format.sampleRate)),
      sampleRate_(format.sampleRate),
      weights_(ChannelWeights(format)),
      pairs_((format.channels + 1) / 2),
      firstStep_(firstStep),
      frame_(StepStart(firstStep, format.sampleRate)),
      stepEnd_(StepStart(firstStep + 1, format.sampleRate)),
      steps_(firstStep) {}

// Steps split the second into tenths to the frame, also where a tenth of the rate is no whole number.
std::uint64_t LoudnessMeter::StepStart(std::uint64_t step, std::uint32_t sampleRate) {
    return step * sampleRate / 10;
}

void LoudnessMeter::WarmUp(const double* samples, std::size_t frames) {
    Filter(samples, frames);
    for (KWeightingState& pair : pairs_) {
        pair.squares = Lanes{};
    }
}

double LoudnessMeter::SamplePeak() const {
    Lanes peak{};
    for (const KWeightingState& pair : pairs_) {
        peak = Larger(peak, pair.peak);
    }
    return std::max(peak[0], peak[1]);
}

void LoudnessMeter::Add(const double* samples, std::size_t frames) {
    const std::size_t width = weights_.size();
    while (frames > 0) {
        const std::size_t run = RunWithinStep(frames);
        Filter(samples, run);
        Advance(run);
        samples += run * width;
        frames -= run;
    }
}

// Runs end where either meter's step ends, so that each step's squares stay its own.
void LoudnessMeter::AddTogether(LoudnessMeter& first, const double* firstSamples, LoudnessMeter& second,
                                const double* secondSamples, std::size_t frames) {
    const std::size_t width = first.weights_.size();
    while (frames > 0) {
        const std::size_t run = second.RunWithinStep(first.RunWithinStep(frames));
        FilterTogether(first, firstSamples, second, secondSamples, run);
        first.Advance(run);
        second.Advance(run);
        firstSamples += run * width;
        secondSamples += run * width;
        frames -= run;
    }
}

std::size_t LoudnessMeter::RunWithinStep(std::size_t frames) const {
    return static_cast<std::size_t>(std::min<std::uint64_t>(frames, stepEnd_ - frame_));
}

void LoudnessMeter::Advance(std::size_t frames) {
    frame_ += frames;
    if (frame_ == stepEnd_) {
        EndStep();
    }
}

// The ring takes `later`'s first steps one by one, each ending a block that reaches back into this
// meter's steps, as it would have in one meter.
void LoudnessMeter::Join(const LoudnessMeter& later) {
    const std::uint64_t laterSteps = later.steps_ - later.firstStep_;
    const std::uint64_t ownSteps = steps_ - firstStep_;
    for (std::uint64_t i = 0; i < std::min<std::uint64_t>(laterSteps, kStepsPerBlock - 1); ++i) {
        const std::size_t slot = (later.firstStep_ + i) % kStepsPerBlock;
        stepEnergy_[slot] = later.leadEnergy_[i];
        stepFrames_[slot] = later.leadFrames_[i];
        if (ownSteps + i + 1 >= kStepsPerBlock) {
            GateBlock();
        }
    }
    if (laterSteps >= kStepsPerBlock) {
        std::copy(std::begin(later.stepEnergy_), std::end(later.stepEnergy_), std::begin(stepEnergy_));
        std::copy(std::begin(later.stepFrames_), std::end(later.stepFrames_), std::begin(stepFrames_));
    }
    steps_ = later.steps_;
    gate_.Join(later.gate_);
}

void LoudnessMeter::Filter(const double* samples, std::size_t frames) {
    const std::size_t width = weights_.size();
    for (std::size_t c = 0; c < width; c += 2) {
        if (c + 1 < width) {
            filter_.FilterPair(samples + c, width, frames, pairs_[c / 2]);
        } else {
            filter_.FilterOne(samples + c, width, frames, pairs_[c / 2]);
        }
    }
}

void LoudnessMeter::FilterTogether(LoudnessMeter& first, const double* firstSamples, LoudnessMeter& second,
                                   const double* secondSamples, std::size_t frames) {
    const std::size_t width = first.weights_.size();
    for (std::size_t c = 0; c < width; c += 2) {
        KWeightingState& firstPair = first.pairs_[c / 2];
        KWeightingState& secondPair = second.pairs_[c / 2];
        if (c + 1 < width) {
            first.filter_.FilterPairs(firstSamples + c, secondSamples + c, width, frames, firstPair, secondPair);
        } else {
            first.filter_.FilterOnes(firstSamples + c, secondSamples + c, width, frames, firstPair, secondPair);
        }
    }
}

// A step ends: its weighted energy joins the block, and a block of four whole steps is gated.
void LoudnessMeter::EndStep() {
    double energy = 0.0;
    for (std::size_t c = 0; c < weights_.size(); ++c) {
        energy += weights_[c] * pairs_[c / 2].squares[c % 2];
    }
    energy *= filter_.SquaresScale();
    for (KWeightingState& pair : pairs_) {
        pair.squares = Lanes{};
    }
    const std::size_t slot = steps_ % kStepsPerBlock;
    stepEnergy_[slot] = energy;
    stepFrames_[slot] = stepEnd_ - StepStart(steps_, sampleRate_);
    const std::uint64_t ownSteps = steps_ - firstStep_;
    if (ownSteps < kStepsPerBlock - 1) {
        leadEnergy_[ownSteps] = energy;
        leadFrames_[ownSteps] = stepFrames_[slot];
    }
    ++steps_;
    stepEnd_ = StepStart(steps_ + 1, sampleRate_);
    if (ownSteps + 1 >= kStepsPerBlock) {
        GateBlock();
    }
}

void LoudnessMeter::GateBlock() {
    const double squares = stepEnergy_[0] + stepEnergy_[1] + stepEnergy_[2] + stepEnergy_[3];
    const std::uint64_t blockFrames = stepFrames_[0] + stepFrames_[1] + stepFrames_[2] + stepFrames_[3];
    gate_.Add(squares / static_cast<double>(blockFrames));
}
