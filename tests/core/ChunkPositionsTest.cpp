// Timecode, cue points, loops, region lengths and the frame count follow the audio through a trim.
#include "core/ChunkPositions.h"
#include "core/FileJob.h"
#include "core/ProcessingSettings.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t kTimeReference = 1000000;

std::uint32_t Le32(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
                                      bytes[offset + 3] << 24);
}

// Mono 16-bit at 1280 frames per second, so that 1/128 s is 10 frames. Frames 20 to 79 are loud
// and each holds 1000 + its index, so a position can be checked against the audio it points at.
// The first cue point lies in the silent head, the third in the silent tail, the fourth at the
// end; their names run backwards. The regions start at the second and the first point, and an
// odd-sized label with its pad byte comes before them.
Bytes MarkedFile() {
    Bytes samples;
    for (std::int64_t frame = 0; frame < 100; ++frame) {
        PutLe(samples, frame >= 20 && frame < 80 ? 1000 + frame : 0, 2);
    }
    const Bytes cue = Concat({{4, 0, 0, 0},
                              CuePoint(4, 5, "data", 5),
                              CuePoint(3, 30, "data", 30),
                              CuePoint(2, 90, "data", 90),
                              CuePoint(1, 7777, "slnt", 100)});
    const Bytes label = Concat({{4, 0, 0, 0}, {'a', 'b', 0}});
    const Bytes regions = Concat({{'a', 'd', 't', 'l'}, Chunk("labl", label), Region(3, 60), Region(4, 20)});
    return Riff({Fmt(1, 1, 1280, 16), Chunk("bext", Bext(kTimeReference)), Chunk("fact", {100, 0, 0, 0}),
                 Chunk("cue ", cue), Chunk("smpl", SamplerLoop(25, 85)), Chunk("LIST", regions),
                 Chunk("data", samples)});
}

const ChunkInfo& Find(const WaveFile& wave, const char* id) {
    for (const auto& chunk : wave.chunks) {
        if (chunk->HasId(id)) {
            return *chunk;
        }
    }
    static const ChunkInfo kNone;
    ADD_FAILURE() << "no chunk " << id;
    return kNone;
}

// The job on the marked file with these settings, and its result as read back.
WaveFile RunJob(ProcessingSettings& settings) {
    TempFolder in;
    TempFolder out;
    WriteBytes(in / "marked.wav", MarkedFile());
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(out.Path()).c_str());
    ProcessFile(settings, Utf16FromPath(in / "marked.wav").c_str());
    EXPECT_FALSE(settings.errorOccurred);
    WaveFile wave;
    EXPECT_TRUE(wave.Read(Utf16FromPath(out / "marked.wav").c_str()));
    return wave;
}

TEST(ChunkPositionsTest, MarkersFollowTheAudioThroughEveryTrim) {
    constexpr float kOff = 1.0f;
    constexpr float kOn = -40.0f;
    const struct {
        const char* what;
        float headDb, tailDb, headMarginSec, tailMarginSec;
        std::uint64_t timeReference;
        std::uint32_t cueOffsets[4];
        std::uint32_t loop[2];
        std::uint32_t regionLengths[2];  // from the second point, from the first
        std::uint32_t frames;
    } rows[] = {
        {"head", kOn, kOff, 0, 0, kTimeReference + 20, {0, 10, 70, 80}, {5, 65}, {60, 5}, 80},
        {"tail", kOff, kOn, 0, 0, kTimeReference, {5, 30, 80, 80}, {25, 79}, {50, 20}, 80},
        {"both ends", kOn, kOn, 0, 0, kTimeReference + 20, {0, 10, 60, 60}, {5, 59}, {50, 5}, 60},
        {"both ends with margins",
         kOn,
         kOn,
         1 / 128.0f,
         1 / 128.0f,
         kTimeReference + 10,
         {0, 20, 80, 80},
         {15, 75},
         {60, 15},
         80},
        {"head margin longer than the cut",
         kOn,
         kOff,
         3 / 128.0f,
         0,
         kTimeReference - 10,
         {15, 40, 100, 110},
         {35, 95},
         {60, 20},
         110},
    };
    for (const auto& row : rows) {
        ProcessingSettings settings;
        settings.headThresholdDb = row.headDb;
        settings.tailThresholdDb = row.tailDb;
        settings.headMarginSec = row.headMarginSec;
        settings.tailMarginSec = row.tailMarginSec;
        const WaveFile wave = RunJob(settings);
        const Bytes data = DataOf(Find(wave, "data"));
        ASSERT_EQ(data.size(), 2u * row.frames) << row.what;

        const Bytes bext = DataOf(Find(wave, "bext"));
        EXPECT_EQ(Le32(bext, 338) | std::uint64_t{Le32(bext, 342)} << 32, row.timeReference) << row.what;
        EXPECT_EQ(Le32(DataOf(Find(wave, "fact")), 0), row.frames) << row.what;
        const Bytes cue = DataOf(Find(wave, "cue "));
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(Le32(cue, 4 + 24 * i + 20), row.cueOffsets[i]) << row.what << ", point " << i;
            const std::uint32_t position = i < 3 ? row.cueOffsets[i] : 7777;
            EXPECT_EQ(Le32(cue, 4 + 24 * i + 4), position) << row.what << ", point " << i;
        }
        // The second point still marks frame 30 of the input.
        EXPECT_EQ(Le32(data, 2 * row.cueOffsets[1]) & 0xFFFF, 1030u) << row.what;
        const Bytes smpl = DataOf(Find(wave, "smpl"));
        EXPECT_EQ(Le32(smpl, 36 + 8), row.loop[0]) << row.what;
        EXPECT_EQ(Le32(smpl, 36 + 12), row.loop[1]) << row.what;
        const Bytes list = DataOf(Find(wave, "LIST"));
        // "adtl", then the 7-byte label with its pad byte, then the two regions.
        EXPECT_EQ(Le32(list, 4 + 16 + 12), row.regionLengths[0]) << row.what;
        EXPECT_EQ(Le32(list, 4 + 16 + 28 + 12), row.regionLengths[1]) << row.what;
    }
}

TEST(ChunkPositionsTest, WithoutATrimEveryOtherChunkStaysAsItWas) {
    WaveFile input;
    TempFolder folder;
    WriteBytes(folder / "marked.wav", MarkedFile());
    ASSERT_TRUE(input.Read(Utf16FromPath(folder / "marked.wav").c_str()));
    ProcessingSettings settings;
    settings.gain = 2.0f;
    settings.headMarginSec = 1.0f;
    const WaveFile output = RunJob(settings);
    ASSERT_EQ(output.chunks.size(), input.chunks.size());
    for (std::size_t i = 0; i + 1 < input.chunks.size(); ++i) {
        EXPECT_EQ(DataOf(*output.chunks[i]), DataOf(*input.chunks[i])) << input.chunks[i]->id;
    }
}

TEST(ChunkPositionsTest, ChunksTooShortForTheirFieldsStayAsTheyAre) {
    const Bytes onePoint = CuePoint(1, 50, "data", 50);
    Bytes bext = Bext(kTimeReference);
    bext.resize(345);
    Bytes loop = SamplerLoop(50, 60);
    loop.pop_back();
    Bytes regions = Concat({{'a', 'd', 't', 'l'}, Region(1, 80)});
    regions[8] = 21;  // the region's size runs one byte past the list
    const struct {
        const char* id;
        Bytes data;
    } malformed[] = {
        {"bext", bext},    {"cue ", Concat({{2, 0, 0, 0}, onePoint})},  // two points claimed, one present
        {"smpl", loop},    {"fact", {100, 0, 0}},
        {"LIST", regions},
    };
    // The well-formed cue chunk comes first, so that the region has a point to start from.
    std::vector<std::shared_ptr<ChunkInfo>> list{MakeChunk("cue ", Concat({{1, 0, 0, 0}, onePoint}))};
    for (const auto& chunk : malformed) {
        list.push_back(MakeChunk(chunk.id, chunk.data));
    }
    MoveChunkPositions(list, FrameMove{20, 10});
    // The well-formed one is moved and clamped to the end...
    EXPECT_EQ(Le32(DataOf(*list[0]), 4 + 20), 10u);
    // ...and the others are left alone.
    for (std::size_t i = 0; i < std::size(malformed); ++i) {
        EXPECT_EQ(DataOf(*list[i + 1]), malformed[i].data) << malformed[i].id;
    }
}

// A chunk of which the reader held only the first `held` bytes; the others stay in the file.
std::shared_ptr<ChunkInfo> HeldInPart(const char* id, const Bytes& data, std::size_t held) {
    auto chunk = MakeChunk(id, Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(held)));
    chunk->size = data.size() + 1000;
    return chunk;
}

Bytes HeldOf(const ChunkInfo& chunk) {
    return Bytes(chunk.data.Data(), chunk.data.Data() + chunk.HeldBytes());
}

TEST(ChunkPositionsTest, FieldsPastTheHeldBytesStayAsTheyAre) {
    const Bytes twoPoints = Concat({{2, 0, 0, 0}, CuePoint(1, 50, "data", 50), CuePoint(2, 60, "data", 60)});
    const Bytes regions = Concat({{'a', 'd', 't', 'l'}, Region(1, 80)});
    const struct {
        const char* id;
        Bytes data;
        std::size_t held;
    } partly[] = {
        {"bext", Bext(kTimeReference), 345},
        {"cue ", twoPoints, twoPoints.size() - 1},
        {"smpl", SamplerLoop(50, 60), 59},
        {"fact", {100, 0, 0, 0}, 3},
        // A list is held whole or kept as it is, even where its regions are all held.
        {"LIST", regions, regions.size()},
    };
    // Fields that are held move, whatever follows them in the file.
    std::vector<std::shared_ptr<ChunkInfo>> list{HeldInPart("cue ", twoPoints, twoPoints.size())};
    for (const auto& chunk : partly) {
        list.push_back(HeldInPart(chunk.id, chunk.data, chunk.held));
    }
    MoveChunkPositions(list, FrameMove{20, 100});
    EXPECT_EQ(Le32(HeldOf(*list[0]), 4 + 4), 30u);
    EXPECT_EQ(Le32(HeldOf(*list[0]), 4 + 24 + 4), 40u);
    for (std::size_t i = 0; i < std::size(partly); ++i) {
        const Bytes& data = partly[i].data;
        EXPECT_EQ(HeldOf(*list[i + 1]), Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(partly[i].held)))
            << partly[i].id;
    }
}

TEST(ChunkPositionsTest, RegionsFindTheirOwnPointAndEnd) {
    // Points named 1 at frame 10 and 3 at frame 50.
    const Bytes cue = Concat({{2, 0, 0, 0}, CuePoint(1, 10, "data", 10), CuePoint(3, 50, "data", 50)});
    const Bytes adtl = {'a', 'd', 't', 'l'};
    const struct {
        const char* what;
        Bytes list;
        FrameMove move;
        std::size_t lengthOffset;  // of the region's dwSampleLength in the list
        std::uint32_t length;
    } rows[] = {
        {"named point missing: kept as it was", Concat({adtl, Region(2, 80)}), FrameMove{5, 60}, 16, 80},
        {"after an odd label without its pad byte",
         Concat({adtl, ChunkDeclaring("labl", 5, {1, 0, 0, 0, 'x'}), Region(1, 80)}), FrameMove{5, 60}, 29, 55},
        {"end past 2^32 frames: clamped to the audio", Concat({adtl, Region(1, 0xFFFFFFFF)}), FrameMove{5, 1000}, 16,
         995},
        {"fields without purpose or text", Concat({adtl, Chunk("ltxt", {1, 0, 0, 0, 80, 0, 0, 0})}), FrameMove{5, 60},
         16, 55},
    };
    for (const auto& row : rows) {
        std::vector<std::shared_ptr<ChunkInfo>> list{MakeChunk("cue ", cue), MakeChunk("LIST", row.list)};
        MoveChunkPositions(list, row.move);
        EXPECT_EQ(Le32(DataOf(*list[1]), row.lengthOffset), row.length) << row.what;
    }
}

TEST(ChunkPositionsTest, TimeReferenceStopsAtEitherEndOfItsRange) {
    constexpr std::uint64_t kLargest = ~std::uint64_t{0};
    const struct {
        std::uint64_t time;
        std::int64_t shift;
        std::uint64_t moved;
    } rows[] = {{5, -10, 0}, {kLargest - 5, 10, kLargest}};
    for (const auto& row : rows) {
        std::vector<std::shared_ptr<ChunkInfo>> list{MakeChunk("bext", Bext(row.time))};
        MoveChunkPositions(list, FrameMove{row.shift, 100});
        const Bytes bext = DataOf(*list[0]);
        EXPECT_EQ(Le32(bext, 338) | std::uint64_t{Le32(bext, 342)} << 32, row.moved) << row.time;
    }
}

}  // namespace
