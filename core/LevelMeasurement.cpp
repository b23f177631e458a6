// The measuring pass: blocks viewed or read as the job reads them, decoded by the coding's own rule
// a few thousand samples at a time, and handed to the meters.
#include "core/LevelMeasurement.h"

#include "core/AudioBlock.h"
#include "core/Loudness.h"
#include "core/SampleCodings.h"
#include "core/TruePeak.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// Decoded samples at once: small enough to stay in the processor's cache between the meters.
constexpr std::size_t kDecodedSamples = 8192;

// Four running maxima, so that each comparison waits on the one four samples back rather than on
// the one before.
double PeakOf(const double* samples, std::size_t count, double peak) {
    double lanes[4] = {peak, peak, peak, peak};
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        for (std::size_t k = 0; k < 4; ++k) {
            lanes[k] = std::max(lanes[k], std::abs(samples[i + k]));
        }
    }
    for (; i < count; ++i) {
        lanes[0] = std::max(lanes[0], std::abs(samples[i]));
    }
    return std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
}

bool MeasuresLoudness(const WaveFormat& format) {
    return format.sampleRate >= kLowestLoudnessRate && format.sampleRate <= kHighestLoudnessRate;
}

class Meters {
public:
    Meters(const WaveFormat& format, bool withTruePeak) {
        if (MeasuresLoudness(format)) {
            loudness_ = std::make_unique<LoudnessMeter>(format);
        }
        if (withTruePeak) {
            truePeak_ = std::make_unique<TruePeakMeter>(format.sampleRate, format.channels);
        }
    }

    void Add(const double* samples, std::size_t frames, std::size_t channels) {
        samplePeak_ = PeakOf(samples, frames * channels, samplePeak_);
        if (loudness_) {
            loudness_->Add(samples, frames);
        }
        if (truePeak_) {
            truePeak_->Add(samples, frames);
        }
    }

    Levels Result() const {
        Levels levels;
        levels.measured = true;
        levels.samplePeak = samplePeak_;
        levels.truePeak = truePeak_ ? truePeak_->Peak() : 0.0;
        levels.loudnessMeasured = loudness_ != nullptr;
        levels.loudnessLufs = loudness_ ? loudness_->IntegratedLufs() : 0.0;
        return levels;
    }

private:
    double samplePeak_ = 0.0;
    std::unique_ptr<LoudnessMeter> loudness_;
    std::unique_ptr<TruePeakMeter> truePeak_;
};

TrimOutcome Measure(const WaveFile& wave, const ChunkInfo& chunk, const CodingRules& rules, Meters& meters,
                    const std::atomic<bool>& cancelRequested) {
    const std::size_t channels = wave.format.channels;
    const std::size_t frameBytes = rules.bytes * channels;
    const std::uint64_t bytes = chunk.size / frameBytes * frameBytes;
    if (bytes == 0) {
        return TrimOutcome::Done;
    }
    FileView view;
    Block block(view);
    const std::size_t decodedFrames = std::max<std::size_t>(1, kDecodedSamples / channels);
    std::vector<double> decoded(decodedFrames * channels);
    if (!block.Allocate(frameBytes, bytes)) {
        return TrimOutcome::Failed;
    }
    for (std::uint64_t at = 0; at < bytes;) {
        if (cancelRequested.load(std::memory_order_relaxed)) {
            return TrimOutcome::Cancelled;
        }
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(block.Size(), bytes - at));
        const std::uint8_t* source = block.Source(wave, chunk, at, count);
        if (source == nullptr) {
            return TrimOutcome::ReadFailed;
        }
        for (std::size_t frame = 0, frames = count / frameBytes; frame < frames;) {
            const std::size_t run = std::min(decodedFrames, frames - frame);
            rules.decode(source + frame * frameBytes, run * channels, decoded.data());
            meters.Add(decoded.data(), run, channels);
            frame += run;
        }
        at += count;
    }
    return TrimOutcome::Done;
}

}  // namespace

TrimOutcome MeasureLevels(const WaveFile& wave, bool withTruePeak, const std::atomic<bool>& cancelRequested,
                          Levels& levels) {
    levels = Levels();
    const ChunkInfo* chunk = FirstChunk(wave.chunks, "data");
    const CodingRules* rules = RulesOf(CodingOf(wave.format));
    if (chunk == nullptr || rules == nullptr) {
        return TrimOutcome::Done;
    }
    Meters meters(wave.format, withTruePeak);
    const TrimOutcome outcome = Measure(wave, *chunk, *rules, meters, cancelRequested);
    if (outcome == TrimOutcome::Done) {
        levels = meters.Result();
    }
    return outcome;
}

double DecibelsOf(double linear) {
    return 20.0 * std::log10(linear);
}
