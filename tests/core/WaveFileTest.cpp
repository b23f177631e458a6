// The reader: chunk walk, pad bytes, format parsing and every malformed case it must refuse.
#include "core/WaveFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ReadResult {
    bool accepted;
    WaveFile wave;
};

ReadResult ReadFromBytes(const Bytes& bytes) {
    TempFolder folder;
    const auto path = folder / "in.wav";
    WriteBytes(path, bytes);
    ReadResult result;
    result.accepted = result.wave.Read(Utf16FromPath(path).c_str());
    // Every chunk of these small files is held; the folder goes now.
    result.wave.file.Close();
    return result;
}

std::string Ids(const WaveFile& wave) {
    std::string ids;
    for (const auto& chunk : wave.chunks) {
        ids += std::string(chunk->id) + "|";
    }
    return ids;
}

const Bytes kFmt16 = Fmt(1, 1, 8000, 16);
const Bytes kData = Chunk("data", Samples(2, {1, -1}));
// The 28 bytes of a "ds64" chunk whose table claims one row.
const Bytes kDs64OneRowMissing = Concat({Bytes(24, 0), {1, 0, 0, 0}});

// A "ds64" chunk with 90,000 empty rows, more than a mebibyte: more than the reader holds.
Bytes Ds64TooLongToHold() {
    Bytes fields(24, 0);
    PutLe(fields, 90000, 4);
    fields.resize(fields.size() + 90000 * 12, 0);
    return Chunk("ds64", fields);
}

TEST(WaveFileTest, AcceptsWellFormedAndToleratedFiles) {
    const struct {
        const char* what;
        Bytes file;
        std::string ids;
    } rows[] = {
        {"only the 12-byte header", Riff({}), ""},
        {"no data chunk", Riff({kFmt16}), "fmt |"},
        {"no fmt chunk", Riff({kData}), "data|"},
        {"fmt of size 0", Riff({Chunk("fmt ", {}), kData}), "fmt |data|"},
        {"pad byte after an odd chunk", Riff({kFmt16, Chunk("LIST", {1, 2, 3}), kData}), "fmt |LIST|data|"},
        {"odd chunk written without a pad", Riff({kFmt16, ChunkDeclaring("LIST", 3, {1, 2, 3}), kData}),
         "fmt |LIST|data|"},
        {"pad byte after the odd last chunk", Riff({kFmt16, Chunk("data", {1, 2, 3})}), "fmt |data|"},
        {"three stray bytes at the end", Concat({Riff({kFmt16, kData}), {7, 7, 7}}), "fmt |data|"},
        {"RIFF size field of 0, which is ignored",
         Concat({{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, kFmt16}), "fmt |"},
        {"float of any width", Riff({Fmt(3, 2, 8000, 24), kData}), "fmt |data|"},
        {"extensible integer PCM", Riff({FmtExtensible(1, 2, 48000, 24, 20), kData}), "fmt |data|"},
        {"extensible float", Riff({FmtExtensible(3, 6, 96000, 32, 32), kData}), "fmt |data|"},
        {"A-law", Riff({Fmt(6, 1, 8000, 8), kData}), "fmt |data|"},
        {"µ-law", Riff({Fmt(7, 1, 8000, 8), kData}), "fmt |data|"},
        {"four stray bytes at the end", Concat({Riff({kFmt16, kData}), {'j', 'u', 'n', 'k'}}), "fmt |data|"},
        {"seven stray bytes at the end", Concat({Riff({kFmt16, kData}), {'d', 'a', 't', 'a', 4, 0, 0}}), "fmt |data|"},
    };
    for (const auto& row : rows) {
        const ReadResult result = ReadFromBytes(row.file);
        EXPECT_TRUE(result.accepted) << row.what;
        EXPECT_EQ(Ids(result.wave), row.ids) << row.what;
    }
}

TEST(WaveFileTest, RefusesMalformedFilesAndSaysWhy) {
    using Kind = FileReason::Kind;
    const Bytes extensible = FmtExtensible(1, 2, 48000, 24, 24);
    Bytes shortExtension = extensible;
    shortExtension[8 + 16] = 21;  // cbSize
    const struct {
        const char* what;
        Bytes file;
        Kind kind;
        std::uint64_t offset;
        std::uint32_t code;
    } rows[] = {
        {"empty file", {}, Kind::NotRiffWave, 0, 0},
        {"shorter than the header", {'R', 'I', 'F', 'F', 4, 0, 0, 0}, Kind::NotRiffWave, 0, 0},
        {"not RIFF", {'R', 'I', 'F', 'Q', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, Kind::NotRiffWave, 0, 0},
        {"not WAVE", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, Kind::NotRiffWave, 0, 0},
        {"big-endian", {'R', 'I', 'F', 'X', 0, 0, 0, 4, 'W', 'A', 'V', 'E'}, Kind::BigEndian, 0, 0},
        // The header is 12 bytes and the "fmt " chunk 24, so the LIST chunk starts at byte 36.
        {"chunk other than data runs past the end", Riff({kFmt16, ChunkDeclaring("LIST", 100, {1, 2, 3, 4}), kData}),
         Kind::Damaged, 36, 0},
        {"chunk other than data of 4 GiB", Riff({kFmt16, ChunkDeclaring("LIST", 0xFFFFFFFF, {1, 2})}), Kind::Damaged,
         36, 0},
        {"size 16 short of 4 GiB", Riff({kFmt16, ChunkDeclaring("LIST", 0xFFFFFFF0, kData)}), Kind::Damaged, 36, 0},
        {"header and size together 4 GiB", Riff({kFmt16, ChunkDeclaring("LIST", 0xFFFFFFF8, kData)}), Kind::Damaged, 36,
         0},
        {"fmt shorter than its fields", Riff({Chunk("fmt ", Bytes(15, 1)), kData}), Kind::Damaged, 12, 0},
        {"extensible fmt without its extension",
         Riff({kData, Chunk("fmt ", Bytes(extensible.begin() + 8, extensible.begin() + 26))}), Kind::Damaged, 24, 0},
        {"extensible fmt of 40 bytes whose extension size is 21", Riff({kData, shortExtension}), Kind::Damaged, 24, 0},
        {"format code 2", Riff({Fmt(2, 1, 8000, 4), kData}), Kind::UnsupportedCoding, 0, 2},
        {"later fmt of an unknown coding", Riff({kFmt16, kData, Fmt(0x11, 1, 8000, 4)}), Kind::UnsupportedCoding, 0,
         0x11},
        {"extensible A-law", Riff({FmtExtensible(6, 1, 8000, 8, 8), kData}), Kind::UnsupportedSubformat, 0, 6},
        {"extensible with a GUID of its own", Riff({FmtExtensible(1, 1, 8000, 16, 16, false), kData}),
         Kind::UnknownSubformat, 0, 0},
        // The 64-bit forms need their "ds64" chunk first, whole, with the rows it counts.
        {"RF64 without chunks", Wave64("RF64", {}), Kind::Damaged, 12, 0},
        {"RF64 without ds64", Wave64("RF64", {kFmt16, kData}), Kind::Damaged, 12, 0},
        {"ds64 shorter than its fields", Wave64("BW64", {Chunk("ds64", Bytes(27, 0)), kFmt16}), Kind::Damaged, 12, 0},
        {"ds64 counting a row it lacks", Wave64("RF64", {ChunkDeclaring("ds64", 28, kDs64OneRowMissing), kFmt16}),
         Kind::Damaged, 12, 0},
        {"ds64 table longer than is held",
         Wave64("RF64", {Ds64TooLongToHold(), kFmt16, ChunkDeclaring("JUNK", ~0u, {})}), Kind::Damaged, 12, 0},
        {"placeholder size without a row", Wave64("RF64", {Ds64(0, 4, 2), kFmt16, ChunkDeclaring("JUNK", ~0u, {})}),
         Kind::Damaged, 72, 0},
        // The header, "ds64" with one row (48 bytes) and "fmt " (24) come before JUNK.
        {"ds64 row larger than the file by 4 GiB",
         Wave64("RF64", {Ds64(0, 4, 2, {{"JUNK", 0x100000002}}), kFmt16, ChunkDeclaring("JUNK", ~0u, {9, 9})}),
         Kind::Damaged, 84, 0},
    };
    for (const auto& row : rows) {
        const ReadResult result = ReadFromBytes(row.file);
        EXPECT_FALSE(result.accepted) << row.what;
        EXPECT_EQ(result.wave.refusal.kind, row.kind) << row.what;
        EXPECT_EQ(result.wave.refusal.offset, row.offset) << row.what;
        EXPECT_EQ(result.wave.refusal.code, row.code) << row.what;
    }
}

TEST(WaveFileTest, MissingFileIsRefused) {
    TempFolder folder;
    WaveFile wave;
    EXPECT_FALSE(wave.Read(Utf16FromPath(folder / "absent.wav").c_str()));
    EXPECT_EQ(wave.refusal.kind, FileReason::Kind::CannotRead);
}

// A "fmt " chunk whose block alignment says `blockAlign`, whatever its other fields say.
Bytes WithBlockAlign(Bytes fmt, std::uint16_t blockAlign) {
    fmt[8 + 12] = static_cast<std::uint8_t>(blockAlign);
    fmt[8 + 13] = static_cast<std::uint8_t>(blockAlign >> 8);
    return fmt;
}

TEST(WaveFileTest, LastDataChunkCutShortKeepsTheWholeFramesTheFileHolds) {
    const Bytes ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const Bytes first8(ten.begin(), ten.begin() + 8);
    const Bytes stereo16 = Fmt(1, 2, 8000, 16);
    const struct {
        const char* what;
        Bytes file;
        Bytes data;
    } rows[] = {
        {"recording cut short, 16-bit stereo", Riff({stereo16, ChunkDeclaring("data", 100, ten)}), first8},
        // Frames are channels times the sample's container, whatever the block alignment claims.
        {"block alignment 0", Riff({WithBlockAlign(stereo16, 0), ChunkDeclaring("data", 100, ten)}), first8},
        {"block alignment 3", Riff({WithBlockAlign(stereo16, 3), ChunkDeclaring("data", 100, ten)}), first8},
        {"block alignment 5", Riff({WithBlockAlign(stereo16, 5), ChunkDeclaring("data", 100, ten)}), first8},
        {"12-bit stereo in 2-byte containers", Riff({Fmt(1, 2, 8000, 12), ChunkDeclaring("data", 100, ten)}), first8},
        {"extensible 24-bit in 32-bit containers, mono",
         Riff({FmtExtensible(1, 1, 48000, 32, 24), ChunkDeclaring("data", 100, ten)}), first8},
        {"0 channels: every byte is kept", Riff({Fmt(1, 0, 8000, 16), ChunkDeclaring("data", 100, ten)}), ten},
        {"streaming placeholder size", Riff({kFmt16, ChunkDeclaring("data", 0xFFFFFFFF, ten)}), ten},
        // The 16 bytes after the whole frame could pass for a chunk header; they are part of a frame.
        {"partial frame longer than a chunk header",
         Riff({Fmt(1, 6, 8000, 24), ChunkDeclaring("data", 1000, Bytes(34, 7))}), Bytes(18, 7)},
        {"no format known: every byte is kept", Riff({ChunkDeclaring("data", 50, ten)}), ten},
    };
    for (const auto& row : rows) {
        const ReadResult result = ReadFromBytes(row.file);
        ASSERT_TRUE(result.accepted) << row.what;
        EXPECT_EQ(DataOf(*result.wave.chunks.back()), row.data) << row.what;
        EXPECT_EQ(result.wave.refusal.kind, FileReason::Kind::None) << row.what;
    }
}

// A recorder's preallocated file: what follows a header of four zero bytes is no chunk, however it
// goes on, and is kept whole as the unused space.
TEST(WaveFileTest, HeaderOfFourZeroBytesEndsTheChunksAndStartsTheUnusedSpace) {
    const Bytes zeros(64, 0);
    const struct {
        const char* what;
        Bytes file;
        std::string ids;
        std::uint64_t offset;
        std::uint64_t size;
    } rows[] = {
        // The header is 12 bytes, the "fmt " chunk 24, the "data" chunk 12.
        {"zeros after the last chunk", Concat({Riff({kFmt16, kData}), zeros}), "fmt |data|", 48, 64},
        {"zeros after the format, no data chunk", Concat({Riff({kFmt16}), zeros}), "fmt |", 36, 64},
        {"zeros right after the RIFF header", Concat({Riff({}), zeros}), "", 12, 64},
        {"a zero identifier with a size, then a chunk",
         Concat({Riff({kFmt16}), ChunkDeclaring("\0\0\0\0", 2, {0, 0}), kData}), "fmt |", 36, 22},
        {"after an odd chunk without its pad byte, which the first zero stands for",
         Concat({Riff({kFmt16, ChunkDeclaring("LIST", 3, {1, 2, 3})}), zeros}), "fmt |LIST|", 48, 63},
        {"fewer zeros than a header are stray bytes", Concat({Riff({kFmt16, kData}), Bytes(7, 0)}), "fmt |data|", 0, 0},
        {"zeros in the data chunk are samples", Riff({kFmt16, Chunk("data", zeros)}), "fmt |data|", 0, 0},
    };
    for (const auto& row : rows) {
        const ReadResult result = ReadFromBytes(row.file);
        ASSERT_TRUE(result.accepted) << row.what;
        EXPECT_EQ(Ids(result.wave), row.ids) << row.what;
        EXPECT_EQ(result.wave.unusedSpace.offset, row.offset) << row.what;
        EXPECT_EQ(result.wave.unusedSpace.size, row.size) << row.what;
        EXPECT_EQ(result.wave.unusedSpace.HeldBytes(), 0u) << row.what;
    }
    // The 64-bit forms need their "ds64" chunk before any unused space.
    const ReadResult rf64 = ReadFromBytes(Concat({Wave64("RF64", {}), zeros}));
    EXPECT_FALSE(rf64.accepted);
    EXPECT_EQ(rf64.wave.refusal.kind, FileReason::Kind::Damaged);
}

TEST(WaveFileTest, SixtyFourBitFormsTakeTheirSizesFromDs64) {
    const Bytes ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const struct {
        const char* what;
        Bytes file;
        RiffForm form;
        std::uint64_t junkSize;
        Bytes data;
    } rows[] = {
        {"RF64, data in ds64",
         Wave64("RF64", {Ds64(0, 4, 2), kFmt16, ChunkDeclaring("data", ~0u, ten)}),
         RiffForm::Rf64,
         0,
         {1, 2, 3, 4}},
        {"BW64, a table row for another chunk",
         Wave64("BW64", {Ds64(0, 2, 1, {{"JUNK", 3}}), ChunkDeclaring("JUNK", ~0u, {9, 9, 9, 0}), kFmt16,
                         ChunkDeclaring("data", ~0u, {1, 2})}),
         RiffForm::Bw64,
         3,
         {1, 2}},
        {"a size in the header counts",
         Wave64("RF64", {Ds64(0, 8, 4), kFmt16, Chunk("data", {5, 6})}),
         RiffForm::Rf64,
         0,
         {5, 6}},
        {"data size past the end: the whole frames there",
         Wave64("RF64", {Ds64(0, 0x100000000, 0), kFmt16, ChunkDeclaring("data", ~0u, ten)}), RiffForm::Rf64, 0, ten},
    };
    for (const auto& row : rows) {
        const ReadResult result = ReadFromBytes(row.file);
        ASSERT_TRUE(result.accepted) << row.what;
        EXPECT_EQ(result.wave.form, row.form) << row.what;
        EXPECT_EQ(DataOf(*result.wave.chunks.back()), row.data) << row.what;
        for (const auto& chunk : result.wave.chunks) {
            if (chunk->HasId("JUNK")) {
                EXPECT_EQ(chunk->size, row.junkSize) << row.what;
            }
        }
    }
}

TEST(WaveFileTest, ExtensibleFormatGivesItsValidBitsAndSubformat) {
    const ReadResult result = ReadFromBytes(Riff({FmtExtensible(3, 2, 48000, 32, 24), kData}));
    ASSERT_TRUE(result.accepted);
    const WaveFormat& format = result.wave.format;
    EXPECT_EQ(format.formatTag, 0xFFFE);
    EXPECT_EQ(format.bitsPerSample, 32);
    EXPECT_EQ(format.validBitsPerSample, 24);
    EXPECT_EQ(format.Coding(), 3);
    // A plain format chunk read later leaves no trace of the extensible one.
    const ReadResult later = ReadFromBytes(Riff({FmtExtensible(3, 2, 48000, 32, 24), Fmt(1, 1, 8000, 16)}));
    ASSERT_TRUE(later.accepted);
    EXPECT_EQ(later.wave.format.validBitsPerSample, 0);
    EXPECT_EQ(later.wave.format.Coding(), 1);
}

TEST(WaveFileTest, ParsesTheFormatFieldsAndKeepsTheirBytes) {
    Bytes fields = Samples(2, {1, 2});    // integer PCM, 2 channels
    PutLe(fields, 44100, 4);              // sample rate
    PutLe(fields, 176400, 4);             // byte rate
    PutLe(fields, 4, 2);                  // block align
    PutLe(fields, 16, 2);                 // bits per sample
    fields.insert(fields.end(), {0, 0});  // extension size
    const ReadResult result = ReadFromBytes(Riff({Chunk("fmt ", fields), kData}));
    ASSERT_TRUE(result.accepted);
    const WaveFormat& format = result.wave.format;
    EXPECT_EQ(format.formatTag, 1);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.sampleRate, 44100u);
    EXPECT_EQ(format.byteRate, 176400u);
    EXPECT_EQ(format.blockAlign, 4);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(DataOf(*result.wave.chunks[0]), fields);
}

TEST(WaveFileTest, KeepsEveryChunkInOrderAndComparesIdsByteForByte) {
    const Bytes file = Riff({
        Chunk("LIST", {'I', 'N', 'F', 'O', 'x'}),  // odd size: padded
        Chunk("fact", Samples(4, {2})),
        Chunk("FMT ", Bytes(16, 0xEE)),  // not a format chunk
        Fmt(1, 1, 8000, 8),
        Chunk("DATA", {1}),  // not the data chunk
        Chunk("data", {130, 126}),
        Chunk("data", {200}),
        Chunk("junk", {}),
    });
    const ReadResult result = ReadFromBytes(file);
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(Ids(result.wave), "LIST|fact|FMT |fmt |DATA|data|data|junk|");
    EXPECT_EQ(result.wave.format.bitsPerSample, 8);
    EXPECT_EQ(DataOf(*result.wave.chunks[0]), (Bytes{'I', 'N', 'F', 'O', 'x'}));
    EXPECT_EQ(DataOf(*result.wave.chunks[4]), Bytes{1});
    EXPECT_EQ(DataOf(*result.wave.chunks[6]), Bytes{200});
    EXPECT_EQ(result.wave.chunks[7]->size, 0u);
}

TEST(WaveFileTest, LaterFmtOverwritesTheFieldsAndEmptyFmtLeavesThem) {
    const ReadResult result = ReadFromBytes(Riff({Fmt(1, 1, 8000, 8), Fmt(3, 2, 48000, 32), Chunk("fmt ", {})}));
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.wave.format.formatTag, 3);
    EXPECT_EQ(result.wave.format.channels, 2);
    EXPECT_EQ(result.wave.format.bitsPerSample, 32);
}

}  // namespace
