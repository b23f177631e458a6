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

// A file shorter than this is measured in one part on one thread: a second one would cost more
// than it saves.
constexpr std::uint64_t kShortestSplitSeconds = 4;
// A longer file is measured in four parts, two on each of two threads.
constexpr std::size_t kParts = 4;
// A part's filters start this part of a second before it: the weighting filter's memory fades to
// far below any measurable difference within it, at every rate.
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
        AddTruePeak(samples, frames);
    }

    // Add to the meters of two parts, their loudness filters in one loop; a file is measured in
    // parts only where it has a loudness.
    static void AddTogether(Meters& first, const double* firstSamples, Meters& second, const double* secondSamples,
                            std::size_t frames) {
        LoudnessMeter::AddTogether(*first.loudness_, firstSamples, *second.loudness_, secondSamples, frames);
        first.AddTruePeak(firstSamples, frames);
        second.AddTruePeak(secondSamples, frames);
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
    void AddTruePeak(const double* samples, std::size_t frames) {
        if (truePeak_) {
            truePeak_->Add(samples, frames);
        }
    }

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

// A part's buffers, allocated up front on the caller's thread, and its pass over them: a stretch
// of its frames at a time, read a block at a time and decoded a run at a time.
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
        const TrimOutcome warmedUp = WarmUp(meters, stops);
        return warmedUp == TrimOutcome::Done ? Rest(meters, stops) : warmedUp;
    }

    // Measures two parts side by side, as long as both have frames; the longer one's last frames
    // alone.
    static TrimOutcome MeasureTogether(PartReader& first, Meters& firstMeters, PartReader& second, Meters& secondMeters,
                                       const Stops& stops) {
        TrimOutcome outcome = first.WarmUp(firstMeters, stops);
        if (outcome == TrimOutcome::Done) {
            outcome = second.WarmUp(secondMeters, stops);
        }
        while (outcome == TrimOutcome::Done && !first.Drained() && !second.Drained()) {
            outcome = first.Fill(stops);
            if (outcome == TrimOutcome::Done) {
                outcome = second.Fill(stops);
            }
            if (outcome == TrimOutcome::Done) {
                const std::size_t run = std::min(first.FramesAtHand(), second.FramesAtHand());
                const double* firstSamples = first.Take(run);
                Meters::AddTogether(firstMeters, firstSamples, secondMeters, second.Take(run), run);
            }
        }
        if (outcome == TrimOutcome::Done) {
            outcome = first.Rest(firstMeters, stops);
        }
        return outcome == TrimOutcome::Done ? second.Rest(secondMeters, stops) : outcome;
    }

private:
    // Runs the filters over the frames before the part, and then stands at its first frame.
    TrimOutcome WarmUp(Meters& meters, const Stops& stops) {
        Begin(part_.warmUpFrom, part_.begin);
        const TrimOutcome outcome =
            Drain(stops, [&meters](const double* samples, std::size_t frames) { meters.WarmUp(samples, frames); });
        Begin(part_.begin, part_.end);
        return outcome;
    }

    // The part's frames not measured yet.
    TrimOutcome Rest(Meters& meters, const Stops& stops) {
        return Drain(stops, [&meters](const double* samples, std::size_t frames) { meters.Add(samples, frames); });
    }

    // The stretch of frames from `from` to `to` comes next.
    void Begin(std::uint64_t from, std::uint64_t to) {
        at_ = from * samples_.frameBytes;
        end_ = to * samples_.frameBytes;
        source_ = nullptr;
        framesInBlock_ = 0;
    }

    bool Drained() const { return framesInBlock_ == 0 && at_ == end_; }

    // Reads the next block where the last one is used up; the user's stop is seen between blocks.
    TrimOutcome Fill(const Stops& stops) {
        if (framesInBlock_ > 0) {
            return TrimOutcome::Done;
        }
        if (stops.Any()) {
            return TrimOutcome::Cancelled;
        }
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(block_.Size(), end_ - at_));
        source_ = block_.Source(samples_.wave, samples_.chunk, at_, count);
        if (source_ == nullptr) {
            return TrimOutcome::ReadFailed;
        }
        at_ += count;
        framesInBlock_ = count / samples_.frameBytes;
        return TrimOutcome::Done;
    }

    // The frames the next Take may decode at most.
    std::size_t FramesAtHand() const { return std::min(decoded_.size() / samples_.channels, framesInBlock_); }

    // Decodes the next `frames` frames of the block, no more than FramesAtHand.
    const double* Take(std::size_t frames) {
        samples_.rules.decode(source_, frames * samples_.channels, decoded_.data());
        source_ += frames * samples_.frameBytes;
        framesInBlock_ -= frames;
        return decoded_.data();
    }

    // The rest of the stretch, in runs that `consume` takes.
    template <typename Consume>
    TrimOutcome Drain(const Stops& stops, Consume consume) {
        while (!Drained()) {
            const TrimOutcome filled = Fill(stops);
            if (filled != TrimOutcome::Done) {
                return filled;
            }
            const std::size_t run = FramesAtHand();
            consume(Take(run), run);
        }
        return TrimOutcome::Done;
    }

    const Samples& samples_;
    Part part_;
    FileView view_;
    Block block_;
    std::vector<double> decoded_;
    // Where the stretch's next block starts and where the stretch ends, in bytes of the chunk.
    std::uint64_t at_ = 0;
    std::uint64_t end_ = 0;
    // The next frame of the block at hand, and how many are left in it.
    const std::uint8_t* source_ = nullptr;
    std::size_t framesInBlock_ = 0;
};

// The loudness step in which `frame` falls.
std::uint64_t StepOf(std::uint64_t frame, std::uint32_t sampleRate) {
    return frame / sampleRate * 10 + frame % sampleRate * 10 / sampleRate;
}

// The loudness steps at which a file of `frames` frames is split into its parts, one near each
// quarter of it; none for a file measured in one part. They depend on the frame count alone, so
// that a file measures the same on every machine.
std::vector<std::uint64_t> SplitSteps(std::uint64_t frames, std::uint32_t sampleRate) {
    if (frames / sampleRate < kShortestSplitSeconds) {
        return {};
    }
    std::vector<std::uint64_t> steps;
    for (std::uint64_t k = 1; k < kParts; ++k) {
        steps.push_back(StepOf(frames / kParts * k + frames % kParts * k / kParts, sampleRate));
    }
    return steps;
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

// The part from `firstStep` up to `endFrame`, its filters warmed up on the frames before it.
Part PartFrom(std::uint64_t firstStep, std::uint64_t endFrame, std::uint32_t sampleRate) {
    const std::uint64_t begin = LoudnessMeter::StepStart(firstStep, sampleRate);
    return {begin - std::min<std::uint64_t>(begin, sampleRate / kWarmUpPerSecond), begin, endFrame};
}

// The first two parts on this thread and the last two on a helper, each two side by side; their
// meters are joined in order.
TrimOutcome MeasureParts(const Samples& samples, std::uint64_t frames, const std::vector<std::uint64_t>& splitSteps,
                         bool withTruePeak, Meters& meters, const std::atomic<bool>& cancelRequested) {
    const WaveFormat& format = samples.wave.format;
    const std::uint32_t rate = format.sampleRate;
    const std::uint64_t second = LoudnessMeter::StepStart(splitSteps[0], rate);
    const std::uint64_t third = LoudnessMeter::StepStart(splitSteps[1], rate);
    const std::uint64_t fourth = LoudnessMeter::StepStart(splitSteps[2], rate);
    Meters secondMeters(format, withTruePeak, splitSteps[0]);
    Meters thirdMeters(format, withTruePeak, splitSteps[1]);
    Meters fourthMeters(format, withTruePeak, splitSteps[2]);
    PartReader firstPart(samples, {0, 0, second});
    PartReader secondPart(samples, PartFrom(splitSteps[0], third, rate));
    PartReader thirdPart(samples, PartFrom(splitSteps[1], fourth, rate));
    PartReader fourthPart(samples, PartFrom(splitSteps[2], frames, rate));
    if (!firstPart.Allocate() || !secondPart.Allocate() || !thirdPart.Allocate() || !fourthPart.Allocate()) {
        return TrimOutcome::Failed;
    }
    const std::atomic<bool> never{false};
    std::atomic<bool> earlierFailed{false};
    TrimOutcome laterOutcome = TrimOutcome::Done;
    HelperThread helper;
    // Memory that runs short on the way fails the file, as it would on this thread.
    helper.Start([&] {
        try {
            laterOutcome = PartReader::MeasureTogether(thirdPart, thirdMeters, fourthPart, fourthMeters,
                                                       {cancelRequested, earlierFailed});
        } catch (const std::bad_alloc&) {
            laterOutcome = TrimOutcome::Failed;
        }
    });
    const TrimOutcome earlierOutcome =
        PartReader::MeasureTogether(firstPart, meters, secondPart, secondMeters, {cancelRequested, never});
    earlierFailed.store(earlierOutcome != TrimOutcome::Done, std::memory_order_relaxed);
    helper.Wait();
    if (earlierOutcome != TrimOutcome::Done) {
        return earlierOutcome;
    }
    if (laterOutcome == TrimOutcome::Done) {
        meters.Join(secondMeters);
        meters.Join(thirdMeters);
        meters.Join(fourthMeters);
    }
    return laterOutcome;
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
    const std::vector<std::uint64_t> splitSteps =
        MeasuresLoudness(wave.format) ? SplitSteps(frames, wave.format.sampleRate) : std::vector<std::uint64_t>();
    Meters meters(wave.format, withTruePeak, 0);
    const TrimOutcome outcome = splitSteps.empty()
                                    ? MeasureWhole(samples, frames, meters, cancelRequested)
                                    : MeasureParts(samples, frames, splitSteps, withTruePeak, meters, cancelRequested);
    if (outcome == TrimOutcome::Done) {
        levels = meters.Result();
    }
    return outcome;
}

double DecibelsOf(double linear) {
    return 20.0 * std::log10(linear);
}
