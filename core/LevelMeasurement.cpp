// The measuring pass: blocks viewed or read as the job reads them, decoded by the coding's own rule
// a few thousand samples at a time, and handed to the meters.
#include "core/LevelMeasurement.h"

#include "core/AudioBlock.h"
#include "core/HelperThread.h"
#include "core/Loudness.h"
#include "core/SampleCodings.h"
#include "core/TruePeak.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// Decoded samples at once: small enough to stay in the processor's cache between the meters.
constexpr std::size_t kDecodedSamples = 8192;

// A file shorter than this is measured on one thread: a second one would cost more than it saves.
constexpr std::uint64_t kShortestSplitSeconds = 4;
// The second half's filters start this part of a second before it: the weighting filter's memory
// fades to far below any measurable difference within it, at every rate.
constexpr std::uint32_t kWarmUpPerSecond = 2;

Lanes MagnitudesAt(const double* samples) {
    Lanes x;
    std::memcpy(&x, samples, sizeof x);
    return Magnitudes(x);
}

// Eight running maxima in four vectors, so that each comparison waits on the one eight samples back
// rather than on the one before.
double PeakOf(const double* samples, std::size_t count, double peak) {
    Lanes a{peak, peak};
    Lanes b = a;
    Lanes c = a;
    Lanes d = a;
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        a = Larger(a, MagnitudesAt(samples + i));
        b = Larger(b, MagnitudesAt(samples + i + 2));
        c = Larger(c, MagnitudesAt(samples + i + 4));
        d = Larger(d, MagnitudesAt(samples + i + 6));
    }
    const Lanes joined = Larger(Larger(a, b), Larger(c, d));
    peak = std::max(joined[0], joined[1]);
    for (; i < count; ++i) {
        peak = std::max(peak, std::abs(samples[i]));
    }
    return peak;
}

bool MeasuresLoudness(const WaveFormat& format) {
    return format.sampleRate >= kLowestLoudnessRate && format.sampleRate <= kHighestLoudnessRate;
}

class Meters {
public:
    // The meters of the frames from the start of loudness step `firstStep` on.
    Meters(const WaveFormat& format, bool withTruePeak, std::uint64_t firstStep) : channels_(format.channels) {
        if (MeasuresLoudness(format)) {
            loudness_ = std::make_unique<LoudnessMeter>(format, firstStep);
        }
        if (withTruePeak) {
            truePeak_ = std::make_unique<TruePeakMeter>(format.sampleRate, format.channels);
        }
    }

    // Frames just before the first step, which only bring the filters' state where it would be.
    void WarmUp(const double* samples, std::size_t frames) {
        if (loudness_) {
            loudness_->WarmUp(samples, frames);
        }
        if (truePeak_) {
            truePeak_->Precede(samples, frames);
        }
    }

    // The loudness meter's filter takes the sample peak on its way.
    void Add(const double* samples, std::size_t frames) {
        if (loudness_) {
            loudness_->Add(samples, frames);
        } else {
            samplePeak_ = PeakOf(samples, frames * channels_, samplePeak_);
        }
        if (truePeak_) {
            truePeak_->Add(samples, frames);
        }
    }

    // Takes in the meters of the frames that follow these.
    void Join(const Meters& later) {
        samplePeak_ = std::max(SamplePeak(), later.SamplePeak());
        if (loudness_) {
            loudness_->Join(*later.loudness_);
        }
        if (truePeak_) {
            truePeak_->Join(*later.truePeak_);
        }
    }

    Levels Result() const {
        Levels levels;
        levels.measured = true;
        levels.samplePeak = SamplePeak();
        levels.truePeak = truePeak_ ? truePeak_->Peak() : 0.0;
        levels.loudnessMeasured = loudness_ != nullptr;
        levels.loudnessLufs = loudness_ ? loudness_->IntegratedLufs() : 0.0;
        return levels;
    }

private:
    double SamplePeak() const { return std::max(samplePeak_, loudness_ ? loudness_->SamplePeak() : 0.0); }

    std::size_t channels_;
    double samplePeak_ = 0.0;
    std::unique_ptr<LoudnessMeter> loudness_;
    std::unique_ptr<TruePeakMeter> truePeak_;
};

// Where the samples come from.
struct Samples {
    const WaveFile& wave;
    const ChunkInfo& chunk;
    const CodingRules& rules;
    std::size_t channels;
    std::size_t frameBytes;
};

// One part of the chunk: its frames from `begin` to `end`, and those from `warmUpFrom` to `begin`
// that its filters run over first.
struct Part {
    std::uint64_t warmUpFrom;
    std::uint64_t begin;
    std::uint64_t end;
};

// What stops a part: the user, or the failure of the part before it, which is then the outcome.
struct Stops {
    const std::atomic<bool>& cancelRequested;
    const std::atomic<bool>& partBeforeFailed;

    bool Any() const {
        return cancelRequested.load(std::memory_order_relaxed) || partBeforeFailed.load(std::memory_order_relaxed);
    }
};

// A part's buffers, allocated up front on the caller's thread, and its pass over them.
class PartReader {
public:
    PartReader(const Samples& samples, const Part& part)
        : samples_(samples),
          part_(part),
          block_(view_),
          decoded_(std::max<std::size_t>(1, kDecodedSamples / samples.channels) * samples.channels) {}

    bool Allocate() {
        return block_.Allocate(samples_.frameBytes, (part_.end - part_.warmUpFrom) * samples_.frameBytes);
    }

    TrimOutcome Measure(Meters& meters, const Stops& stops) {
        const TrimOutcome warmedUp =
            Stream(part_.warmUpFrom, part_.begin, stops,
                   [&meters](const double* samples, std::size_t frames) { meters.WarmUp(samples, frames); });
        if (warmedUp != TrimOutcome::Done) {
            return warmedUp;
        }
        return Stream(part_.begin, part_.end, stops,
                      [&meters](const double* samples, std::size_t frames) { meters.Add(samples, frames); });
    }

private:
    // The frames from `from` to `to`, a block at a time, decoded in runs that `consume` takes.
    template <typename Consume>
    TrimOutcome Stream(std::uint64_t from, std::uint64_t to, const Stops& stops, Consume consume) {
        const std::size_t frameBytes = samples_.frameBytes;
        const std::size_t channels = samples_.channels;
        const std::size_t decodedFrames = decoded_.size() / channels;
        const std::uint64_t end = to * frameBytes;
        for (std::uint64_t at = from * frameBytes; at < end;) {
            if (stops.Any()) {
                return TrimOutcome::Cancelled;
            }
            const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(block_.Size(), end - at));
            const std::uint8_t* source = block_.Source(samples_.wave, samples_.chunk, at, count);
            if (source == nullptr) {
                return TrimOutcome::ReadFailed;
            }
            for (std::size_t frame = 0, frames = count / frameBytes; frame < frames;) {
                const std::size_t run = std::min(decodedFrames, frames - frame);
                samples_.rules.decode(source + frame * frameBytes, run * channels, decoded_.data());
                consume(decoded_.data(), run);
                frame += run;
            }
            at += count;
        }
        return TrimOutcome::Done;
    }

    const Samples& samples_;
    Part part_;
    FileView view_;
    Block block_;
    std::vector<double> decoded_;
};

// The loudness step at which a file of `frames` frames is split in two, near its middle; 0 for a
// file measured in one part. The split depends on the file alone, so that it measures the same on
// every machine.
std::uint64_t SplitStep(std::uint64_t frames, std::uint32_t sampleRate) {
    if (frames / sampleRate < kShortestSplitSeconds) {
        return 0;
    }
    const std::uint64_t half = frames / 2;
    return half / sampleRate * 10 + half % sampleRate * 10 / sampleRate;
}

TrimOutcome MeasureWhole(const Samples& samples, std::uint64_t frames, Meters& meters,
                         const std::atomic<bool>& cancelRequested) {
    const std::atomic<bool> never{false};
    PartReader reader(samples, {0, 0, frames});
    if (!reader.Allocate()) {
        return TrimOutcome::Failed;
    }
    return reader.Measure(meters, {cancelRequested, never});
}

// The two halves on two threads, the second's filters warmed up on the end of the first; their
// meters are joined in order.
TrimOutcome MeasureHalves(const Samples& samples, std::uint64_t frames, std::uint64_t splitStep, bool withTruePeak,
                          Meters& meters, const std::atomic<bool>& cancelRequested) {
    const WaveFormat& format = samples.wave.format;
    const std::uint64_t split = LoudnessMeter::StepStart(splitStep, format.sampleRate);
    const std::uint64_t warmUp = std::min<std::uint64_t>(split, format.sampleRate / kWarmUpPerSecond);
    Meters later(format, withTruePeak, splitStep);
    PartReader first(samples, {0, 0, split});
    PartReader second(samples, {split - warmUp, split, frames});
    if (!first.Allocate() || !second.Allocate()) {
        return TrimOutcome::Failed;
    }
    const std::atomic<bool> never{false};
    std::atomic<bool> firstFailed{false};
    TrimOutcome secondOutcome = TrimOutcome::Done;
    HelperThread helper;
    // Memory that runs short on the way fails the file, as it would on this thread.
    helper.Start([&] {
        try {
            secondOutcome = second.Measure(later, {cancelRequested, firstFailed});
        } catch (const std::bad_alloc&) {
            secondOutcome = TrimOutcome::Failed;
        }
    });
    const TrimOutcome firstOutcome = first.Measure(meters, {cancelRequested, never});
    firstFailed.store(firstOutcome != TrimOutcome::Done, std::memory_order_relaxed);
    helper.Wait();
    if (firstOutcome != TrimOutcome::Done) {
        return firstOutcome;
    }
    if (secondOutcome == TrimOutcome::Done) {
        meters.Join(later);
    }
    return secondOutcome;
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
    const Samples samples{wave, *chunk, *rules, wave.format.channels, rules->bytes * wave.format.channels};
    const std::uint64_t frames = chunk->size / samples.frameBytes;
    const std::uint64_t splitStep = MeasuresLoudness(wave.format) ? SplitStep(frames, wave.format.sampleRate) : 0;
    Meters meters(wave.format, withTruePeak, 0);
    const TrimOutcome outcome = splitStep == 0
                                    ? MeasureWhole(samples, frames, meters, cancelRequested)
                                    : MeasureHalves(samples, frames, splitStep, withTruePeak, meters, cancelRequested);
    if (outcome == TrimOutcome::Done) {
        levels = meters.Result();
    }
    return outcome;
}

double DecibelsOf(double linear) {
    return 20.0 * std::log10(linear);
}
