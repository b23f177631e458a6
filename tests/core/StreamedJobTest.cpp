// The job on audio it reads a block at a time: ends found across block boundaries, chunks copied
// from the input, the 64-bit forms written back with their sizes, and an input cut short meanwhile.
#include "core/FileJob.h"
#include "core/VolumeAndTrim.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

// 16-bit stereo: a block holds this many frames, and the audio below is longer than two blocks,
// far more than the reader holds in memory.
constexpr std::size_t kChannels = 2;
constexpr std::size_t kBlockFrames = kBlockBytes / (2 * kChannels);
constexpr std::size_t kFrames = 2 * kBlockFrames + kBlockFrames / 2;

// Quiet samples, under -40 dB even after a gain of 2, that differ from frame to frame.
std::int16_t Quiet(std::size_t sample) {
    return static_cast<std::int16_t>(sample * 7 % 301) - 150;
}

// The quiet audio with one loud sample at each given sample index.
std::vector<std::int16_t> AudioWithLoud(std::initializer_list<std::size_t> loud) {
    std::vector<std::int16_t> samples(kFrames * kChannels);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = Quiet(i);
    }
    for (const std::size_t i : loud) {
        samples[i] = 1000;
    }
    return samples;
}

// Frames [first, end) of the audio after a gain of 2, as stored bytes.
Bytes Doubled(const std::vector<std::int16_t>& samples, std::size_t first, std::size_t end) {
    Bytes out;
    for (std::size_t i = first * kChannels; i < end * kChannels; ++i) {
        PutLe(out, static_cast<std::uint16_t>(samples[i] * 2), 2);
    }
    return out;
}

Bytes Stored(const std::vector<std::int16_t>& samples) {
    Bytes out;
    for (const std::int16_t sample : samples) {
        PutLe(out, static_cast<std::uint16_t>(sample), 2);
    }
    return out;
}

// Runs the job at a gain of 2, trimming both ends at -40 dB with the given margins.
ProcessingSettings& RunDoubled(ProcessingSettings& settings, const std::filesystem::path& input,
                               const std::filesystem::path& folder, float marginSec = 0.0f) {
    std::filesystem::create_directories(folder);
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(folder).c_str());
    settings.gain = 2.0f;
    settings.headThresholdDb = -40.0f;
    settings.tailThresholdDb = -40.0f;
    settings.headMarginSec = marginSec;
    settings.tailMarginSec = marginSec;
    ProcessFile(settings, Utf16FromPath(input).c_str());
    return settings;
}

const Bytes kFmt = Fmt(1, kChannels, 8000, 16);

TEST(StreamedJobTest, EndsAreFoundAcrossBlockBoundaries) {
    // The head is scanned in blocks from the start, the tail in blocks from the end: a loud
    // sample just before, on and after each boundary, in either channel.
    const std::size_t tailBoundary = kFrames - kBlockFrames;
    const struct {
        const char* what;
        std::size_t firstLoud;  // sample indexes
        std::size_t lastLoud;
    } rows[] = {
        {"first and last frame: nothing cut", 0, kFrames * kChannels - 1},
        {"last frame of a head block", kChannels * kBlockFrames - 1, kChannels * tailBoundary},
        {"first frame of the next block", kChannels * kBlockFrames, kChannels * tailBoundary - 1},
        {"second channel after the boundary", kChannels * kBlockFrames + 1, kChannels * tailBoundary + 1},
        {"both in the last tail block", kChannels * (kFrames - 3), kChannels * (kFrames - 2)},
    };
    TempFolder folder;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<std::int16_t> samples = AudioWithLoud({row.firstLoud, row.lastLoud});
        WriteBytes(folder / "in.wav", Riff({kFmt, Chunk("data", Stored(samples))}));
        ProcessingSettings settings;
        ASSERT_FALSE(RunDoubled(settings, folder / "in.wav", folder / "out").errorOccurred);
        const Bytes kept = Doubled(samples, row.firstLoud / kChannels, row.lastLoud / kChannels + 1);
        EXPECT_EQ(ReadBytes(folder / "out" / "in.wav"), Riff({kFmt, Chunk("data", kept)}));
    }
}

TEST(StreamedJobTest, LargeChunksAreCopiedAndMarginsAndPartialSamplesKept) {
    TempFolder folder;
    const std::vector<std::int16_t> samples = AudioWithLoud({kChannels * 5, kChannels * (kFrames - 6)});
    Bytes junk(kBlockBytes + 3);
    for (std::size_t i = 0; i < junk.size(); ++i) {
        junk[i] = static_cast<std::uint8_t>(i * 13);
    }
    const Bytes list = Chunk("LIST", Concat({BytesOf("INFO"), junk}));
    const Bytes after = Chunk("JUNK", junk);
    // 0.001 s at 8000 frames a second: 8 frames of silence at either end.
    const Bytes margin(8 * kChannels * 2, 0);
    const struct {
        const char* what;
        Bytes input;
        Bytes output;
        float marginSec;
    } rows[] = {
        {"trimmed, with margins", Riff({kFmt, list, Chunk("data", Stored(samples)), after}),
         Riff({kFmt, list, Chunk("data", Concat({margin, Doubled(samples, 5, kFrames - 5), margin})), after}), 0.001f},
        {"nothing cut: the partial sample stays",
         Riff({kFmt, Chunk("data", Concat({Stored(AudioWithLoud({0, kChannels * kFrames - 1})), {0x55}})), after}),
         Riff({kFmt, Chunk("data", Concat({Doubled(AudioWithLoud({0, kChannels * kFrames - 1}), 0, kFrames), {0x55}})),
               after}),
         0.001f},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        WriteBytes(folder / "in.wav", row.input);
        ProcessingSettings settings;
        ASSERT_FALSE(RunDoubled(settings, folder / "in.wav", folder / "out", row.marginSec).errorOccurred);
        EXPECT_EQ(ReadBytes(folder / "out" / "in.wav"), row.output);
    }
}

TEST(StreamedJobTest, OutputOverItsOwnInputReplacesIt) {
    TempFolder folder;
    const std::vector<std::int16_t> samples = AudioWithLoud({kChannels * 3, kChannels * (kFrames - 1)});
    WriteBytes(folder / "in.wav", Riff({kFmt, Chunk("data", Stored(samples))}));
    ProcessingSettings settings;
    ASSERT_FALSE(RunDoubled(settings, folder / "in.wav", folder.Path()).errorOccurred);
    EXPECT_EQ(ReadBytes(folder / "in.wav"), Riff({kFmt, Chunk("data", Doubled(samples, 3, kFrames))}));
    EXPECT_EQ(ListFolder(folder.Path()).size(), 1u);
}

TEST(StreamedJobTest, SixtyFourBitFormsAreWrittenBackWithTheirSizes) {
    const Bytes fmt = Fmt(1, 1, 8000, 16);
    const Bytes in = Samples(2, {0, 3, 1000, -1000, 1000, 2, 0, 0});
    const Bytes trimmed = Samples(2, {2000, -2000, 2000});
    const Bytes onePoint = {1, 0, 0, 0};
    const Bytes cue = Chunk("cue ", Concat({onePoint, CuePoint(1, 4, "data", 4)}));
    const Bytes movedCue = Chunk("cue ", Concat({onePoint, CuePoint(1, 2, "data", 2)}));
    const Bytes junk = Chunk("JUNK", {1, 2});
    // A file of the form whose "ds64" (8 + 40 bytes) holds its sizes: the RIFF size counts
    // "WAVE" and every chunk after the header; "data" declares the placeholder.
    const auto file = [&](const char* form, const Bytes& junkChunk, const Bytes& data, std::uint64_t frames,
                          const Bytes& cueChunk) {
        const std::uint64_t riffSize = 4 + 48 + fmt.size() + cueChunk.size() + junk.size() + 8 + data.size();
        return Wave64(form, {Ds64(riffSize, data.size(), frames, {{"JUNK", 2}}), fmt, cueChunk, junkChunk,
                             ChunkDeclaring("data", ~0u, data)});
    };
    const struct {
        const char* what;
        const char* form;
        Bytes junk;
    } rows[] = {
        {"RF64", "RF64", junk},
        // A size that fits is written in the header; the table keeps its row.
        {"BW64, a chunk's size in the table", "BW64", ChunkDeclaring("JUNK", ~0u, {1, 2})},
    };
    TempFolder folder;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        WriteBytes(folder / "in.wav", file(row.form, row.junk, in, 8, cue));
        ProcessingSettings settings;
        ASSERT_FALSE(RunDoubled(settings, folder / "in.wav", folder / "out").errorOccurred);
        const Bytes out = ReadBytes(folder / "out" / "in.wav");
        EXPECT_EQ(out, file(row.form, junk, trimmed, 3, movedCue));
    }
}

// Only the first "data" chunk's size is in "ds64": a later one declares its own, or a reader would
// take the first one's for it.
TEST(StreamedJobTest, SixtyFourBitFileInTheWrittenFormComesBackUnchanged) {
    const Bytes fmt = Fmt(1, 1, 8000, 16);
    const Bytes first = Samples(2, {1, 2});
    const Bytes second = Samples(2, {3, 4, 5});
    const std::uint64_t riffSize = 4 + 48 + fmt.size() + 8 + first.size() + 8 + second.size();
    const Bytes file = Wave64("RF64", {Ds64(riffSize, first.size(), 2, {{"JUNK", 9}}), fmt,
                                       ChunkDeclaring("data", ~0u, first), Chunk("data", second)});
    TempFolder folder;
    WriteBytes(folder / "in.wav", file);
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(folder / "out").c_str());
    std::filesystem::create_directories(folder / "out");
    ProcessFile(settings, Utf16FromPath(folder / "in.wav").c_str());
    ASSERT_FALSE(settings.errorOccurred);
    EXPECT_EQ(ReadBytes(folder / "out" / "in.wav"), file);
}

// Discards what a pass writes.
class NullSink : public ByteSink {
public:
    bool Write(const std::uint8_t*, std::size_t) override { return true; }
};

// Another program may cut the input short while the job reads it, where the system lets it: that
// is the file's read error, not the end of this program, whether its bytes are mapped or read.
TEST(StreamedJobTest, InputCutShortMeanwhileIsAReadError) {
    TempFolder folder;
    WriteBytes(folder / "in.wav", Riff({kFmt, Chunk("data", Stored(AudioWithLoud({0})))}));
    WaveFile wave;
    ASSERT_TRUE(wave.Read(Utf16FromPath(folder / "in.wav").c_str()));
    std::error_code error;
    std::filesystem::resize_file(folder / "in.wav", kBlockBytes, error);
    if (error) {
        GTEST_SKIP() << "this system keeps an open input from being cut short";
    }
    const std::atomic<bool> cancel{false};
    AudioPlan plan;
    NullSink sink;
    const TrimOutcome outcome = PlanVolumeAndTrim(wave, ProcessingValues{}, cancel, plan);
    ASSERT_EQ(outcome, TrimOutcome::Done);
    SampleTally written;
    EXPECT_EQ(WritePlannedAudio(wave, plan, sink, cancel, written), TrimOutcome::ReadFailed);
}

}  // namespace
