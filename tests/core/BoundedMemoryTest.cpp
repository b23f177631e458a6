// The job on chunks larger than the reader holds in memory, and on the unused space a recorder
// leaves after the chunks: what the job rewrites is rewritten, everything else comes through as it
// was.
#include "core/FileJob.h"
#include "core/VolumeAndTrim.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

// More bytes than the reader holds of any chunk, in a pattern that a misplaced block would break.
Bytes Filler(std::size_t count) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    return bytes;
}

const Bytes kTail = Filler(std::size_t{2} << 20);
const Bytes kFmt = Fmt(1, 1, 8000, 16);
// Frames 5 to 7 are loud: a trim at -40 dB cuts 5 frames at the head and keeps 3.
const Bytes kSamples = Samples(2, {0, 1, 0, 2, 0, 1000, 500, 1000, 0, 3});
const Bytes kKept = Samples(2, {1000, 500, 1000});
const Bytes kOnePoint = {1, 0, 0, 0};

ProcessingSettings& RunTrimmed(ProcessingSettings& settings, const TempFolder& folder, const Bytes& input) {
    WriteBytes(folder / "in.wav", input);
    std::filesystem::create_directories(folder / "out");
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(folder / "out").c_str());
    settings.headThresholdDb = -40.0f;
    settings.tailThresholdDb = -40.0f;
    ProcessFile(settings, Utf16FromPath(folder / "in.wav").c_str());
    return settings;
}

// A chunk whose contents are `fields` followed by more than the reader holds.
Bytes Large(const char* id, const Bytes& fields) {
    return Chunk(id, Concat({fields, kTail}));
}

TEST(BoundedMemoryTest, ChunksTheJobReadsAreRewrittenInTheirHeldBytesAndCopiedBeyond) {
    // Its region would be shortened to 2 frames, were the list held whole; held in part, it is kept
    // as it is.
    const Bytes regions = Chunk("LIST", Concat({BytesOf("adtl"), Region(1, 100), Large("note", {})}));
    const auto file = [&](std::uint32_t frames, std::uint64_t time, std::uint32_t cue, const Bytes& data) {
        return Riff({kFmt, Chunk("fact", Samples(4, {frames})), Large("bext", Bext(time)),
                     Large("cue ", Concat({kOnePoint, CuePoint(1, cue, "data", cue)})), regions, Chunk("data", data)});
    };
    TempFolder folder;
    ProcessingSettings settings;
    ASSERT_FALSE(RunTrimmed(settings, folder, file(10, 1000, 6, kSamples)).errorOccurred);
    EXPECT_EQ(settings.reason.kind, FileReason::Kind::None);
    EXPECT_TRUE(ReadBytes(folder / "out" / "in.wav") == file(3, 1005, 1, kKept));
}

TEST(BoundedMemoryTest, LargeDs64GetsTheNewSizesAndKeepsTheRest) {
    // "ds64" with no table rows, then the tail; the RIFF size counts "WAVE" and every chunk.
    const auto file = [](const Bytes& data, std::uint64_t frames) {
        const Bytes fields = Ds64(0, 0, 0);
        const std::uint64_t riffSize = 4 + fields.size() + kTail.size() + kFmt.size() + 8 + data.size();
        const Bytes sizes = Ds64(riffSize, data.size(), frames);
        return Wave64("RF64",
                      {Large("ds64", Bytes(sizes.begin() + 8, sizes.end())), kFmt, ChunkDeclaring("data", ~0u, data)});
    };
    TempFolder folder;
    ProcessingSettings settings;
    ASSERT_FALSE(RunTrimmed(settings, folder, file(kSamples, 10)).errorOccurred);
    EXPECT_TRUE(ReadBytes(folder / "out" / "in.wav") == file(kKept, 3));
}

TEST(BoundedMemoryTest, UnusedSpaceIsKeptAfterTheChunksOutsideTheRiffSizeWithANote) {
    // A recorder's preallocation: a header of four zero bytes, then more than a block of bytes that
    // need not be zeros.
    const Bytes unused = Concat({Bytes(8, 0), Filler(kBlockBytes + 5)});
    TempFolder folder;
    ProcessingSettings settings;
    RunTrimmed(settings, folder, Concat({Riff({kFmt, Chunk("data", kSamples)}), unused}));
    EXPECT_FALSE(settings.errorOccurred);
    EXPECT_EQ(settings.reason.kind, FileReason::Kind::KeptUnusedSpace);
    EXPECT_EQ(settings.reason.count, unused.size());
    EXPECT_TRUE(ReadBytes(folder / "out" / "in.wav") == Concat({Riff({kFmt, Chunk("data", kKept)}), unused}));

    // Samples left as they are weigh more than the space kept: that is the note.
    const Bytes twelveBit = Concat({Riff({Fmt(1, 1, 8000, 12), Chunk("data", kSamples)}), unused});
    RunTrimmed(settings, folder, twelveBit);
    EXPECT_EQ(settings.reason.kind, FileReason::Kind::UnchangedCoding);
    EXPECT_TRUE(ReadBytes(folder / "out" / "in.wav") == twelveBit);
}

}  // namespace
