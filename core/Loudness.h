// Integrated loudness in LUFS: each channel K-weighted, its mean square taken over blocks of
// 400 ms every 100 ms, the channels weighted and summed, and the blocks gated twice: absolutely at
// -70 LUFS, then 10 LU below the loudness of the blocks that passed the first gate.
#pragma once

#include "core/KWeighting.h"
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
    // -infinity when no block passed the absolute gate.
    double IntegratedLufs() const;

private:
    std::vector<double> energy_;
    std::vector<std::uint64_t> blocks_;
};

// One channel's last two inputs and the last two outputs of each section, and the sum of its
// squares in the current 100 ms.
struct LoudnessChannel {
    double in1 = 0.0;
    double in2 = 0.0;
    double shelf1 = 0.0;
    double shelf2 = 0.0;
    double pass1 = 0.0;
    double pass2 = 0.0;
    double squares = 0.0;
};

class LoudnessMeter {
public:
    explicit LoudnessMeter(const WaveFormat& format);

    // `frames` frames of interleaved samples against full scale.
    void Add(const double* samples, std::size_t frames);
    double IntegratedLufs() const { return gate_.IntegratedLufs(); }

private:
    void Filter(const double* samples, std::size_t frames);
    void EndStep();

    KWeighting filter_;
    std::uint32_t sampleRate_;
    std::vector<double> weights_;
    std::vector<LoudnessChannel> channels_;
    // The frames read so far, and the one that ends the current 100 ms step.
    std::uint64_t frame_ = 0;
    std::uint64_t stepEnd_;
    std::uint64_t steps_ = 0;
    // The weighted energy and frame count of the last four steps, the current block.
    double stepEnergy_[4] = {};
    std::uint64_t stepFrames_[4] = {};
    LoudnessGate gate_;
};
