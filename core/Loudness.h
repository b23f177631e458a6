// Integrated loudness in LUFS: each channel K-weighted, its mean square taken over blocks of
// 400 ms every 100 ms, the channels weighted and summed, and the blocks gated twice: absolutely at
// -70 LUFS, then 10 LU below the loudness of the blocks that passed the first gate.
#pragma once

#include "core/KWeightingLanes.h"
#include "core/WaveFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The weight of each channel in the sum: 1.0 for the front channels, 1.41 for the surrounds and 0
// for the low-frequency effects channel, by the extensible format's channel mask where it names
// speakers, otherwise by the common orders of five (L R C Ls Rs) and six (L R C LFE Ls Rs)
// channels; the channels of any other count weigh 1.0.
std::vector<double> ChannelWeights(const WaveFormat& format);

// The blocks' loudness kept as a histogram of hundredths of an LU, each bin with the energy of its
// blocks, so that a file of any length costs the same memory; a block is placed against the
// relative gate to within a hundredth of an LU.
class LoudnessGate {
public:
    LoudnessGate();

    // `energy` is the weighted sum of the channels' mean squares over one block.
    void Add(double energy);
    // Adds the blocks of `other`.
    void Join(const LoudnessGate& other);
    // -infinity when no block passed the absolute gate.
    double IntegratedLufs() const;

private:
    std::vector<double> energy_;
    std::vector<std::uint64_t> blocks_;
};

// A meter may start at any step, so that a file can be measured in parts that are joined in order.
class LoudnessMeter {
public:
    // The meter of the frames from the start of step `firstStep` on.
    explicit LoudnessMeter(const WaveFormat& format, std::uint64_t firstStep = 0);

    // The first frame of step `step` at `sampleRate`.
    static std::uint64_t StepStart(std::uint64_t step, std::uint32_t sampleRate);

    // Runs the filter over `frames` frames that end where the first step starts, before Add, so
    // that its state comes near the one a meter from the file's start would have there; their
    // squares are dropped.
    void WarmUp(const double* samples, std::size_t frames);
    // `frames` frames of interleaved samples against full scale.
    void Add(const double* samples, std::size_t frames);
    // Add of `frames` frames to each of two meters of one format, their filters run in one loop:
    // each one's feedback is computed while the other's waits. Each meter ends as Add leaves it.
    static void AddTogether(LoudnessMeter& first, const double* firstSamples, LoudnessMeter& second,
                            const double* secondSamples, std::size_t frames);
    // Takes in `later`, the meter whose first step follows this one's last: the blocks that reach
    // across the two, and all of `later`'s. This meter then gives the loudness of both, takes no
    // more frames, and may take in the meter that follows `later`.
    void Join(const LoudnessMeter& later);
    double IntegratedLufs() const { return gate_.IntegratedLufs(); }
    // The largest magnitude of the samples given to WarmUp and Add (those of WarmUp are the file's,
    // too).
    double SamplePeak() const;

private:
    static constexpr std::size_t kStepsPerBlock = 4;

    void Filter(const double* samples, std::size_t frames);
    static void FilterTogether(LoudnessMeter& first, const double* firstSamples, LoudnessMeter& second,
                               const double* secondSamples, std::size_t frames);
    // The frames up to the end of the current step at most.
    std::size_t RunWithinStep(std::size_t frames) const;
    // Counts `frames` filtered frames, ending the step where they reach its end.
    void Advance(std::size_t frames);
    void EndStep();
    // Gates the block that the last four steps of the ring make.
    void GateBlock();

    KWeightingLanes filter_;
    std::uint32_t sampleRate_;
    std::vector<double> weights_;
    // The channels in pairs, the last one alone in an odd count.
    std::vector<KWeightingState> pairs_;
    std::uint64_t firstStep_;
    // The next frame, counted from the file's start, and the one that ends the current 100 ms step.
    std::uint64_t frame_;
    std::uint64_t stepEnd_;
    // The steps ended so far, counted from the file's start.
    std::uint64_t steps_;
    // The weighted energy and frame count of the last four steps, each at its step's number modulo
    // four: the current block.
    double stepEnergy_[kStepsPerBlock] = {};
    std::uint64_t stepFrames_[kStepsPerBlock] = {};
    // The same of this meter's first three steps, which blocks across a join need.
    double leadEnergy_[kStepsPerBlock - 1] = {};
    std::uint64_t leadFrames_[kStepsPerBlock - 1] = {};
    LoudnessGate gate_;
};
