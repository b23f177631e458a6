// The reader: chunk walk, pad bytes, format parsing and every malformed case it must refuse.
#include "core/WaveFile.h"

#include "WavBuilder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ReadResult {
    bool accepted;
    WaveFile wave;
};

ReadResult ReadFromBytes(const Bytes& bytes) {
    ScratchFolder folder;
    const auto path = folder / "in.wav";
    WriteBytes(path, bytes);
    ReadResult result;
    result.accepted = result.wave.Read(PathText(path).c_str());
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
        {"pad byte after an odd chunk", Riff({kFmt16, Chunk("LIST", {1, 2, 3}), kData}),
         "fmt |LIST|data|"},
        {"odd chunk written without a pad",
         Riff({kFmt16, ChunkDeclaring("LIST", 3, {1, 2, 3}), kData}), "fmt |LIST|data|"},
        {"pad byte after the odd last chunk", Riff({kFmt16, Chunk("data", {1, 2, 3})}),
         "fmt |data|"},
        {"three stray bytes at the end", Concat({Riff({kFmt16, kData}), {7, 7, 7}}),
         "fmt |data|"},
        {"RIFF size field of 0, which is ignored",
         Concat({{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, kFmt16}), "fmt |"},
        {"float of any width", Riff({Fmt(3, 2, 8000, 24), kData}), "fmt |data|"},
    };
    for (const auto& row : rows) {
        const ReadResult result = ReadFromBytes(row.file);
        EXPECT_TRUE(result.accepted) << row.what;
        EXPECT_EQ(Ids(result.wave), row.ids) << row.what;
    }
}

TEST(WaveFileTest, RefusesMalformedFiles) {
    const struct {
        const char* what;
        Bytes file;
    } rows[] = {
        {"empty file", {}},
        {"shorter than the header", {'R', 'I', 'F', 'F', 4, 0, 0, 0}},
        {"not RIFF", {'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}},
        {"not WAVE", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}},
        {"chunk runs past the end", Riff({kFmt16, ChunkDeclaring("data", 100, {1, 2, 3, 4})})},
        {"size of 4 GiB", Riff({kFmt16, ChunkDeclaring("data", 0xFFFFFFFF, {1, 2, 3, 4})})},
        {"size 16 short of 4 GiB", Riff({kFmt16, ChunkDeclaring("LIST", 0xFFFFFFF0, kData)})},
        {"header and size together 4 GiB", Riff({kFmt16, ChunkDeclaring("LIST", 0xFFFFFFF8, kData)})},
        {"cut-off size field", Concat({Riff({kFmt16}), {'d', 'a', 't', 'a', 4, 0}})},
        {"fmt shorter than its fields", Riff({Chunk("fmt ", Bytes(15, 1)), kData})},
        {"extensible format code", Riff({Fmt(0xFFFE, 1, 8000, 16), kData})},
        {"later fmt of an unknown coding", Riff({kFmt16, kData, Fmt(2, 1, 8000, 16)})},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(ReadFromBytes(row.file).accepted) << row.what;
    }
}

TEST(WaveFileTest, MissingFileIsRefused) {
    ScratchFolder folder;
    WaveFile wave;
    EXPECT_FALSE(wave.Read(PathText(folder / "absent.wav").c_str()));
}

TEST(WaveFileTest, ParsesTheFormatFieldsAndKeepsTheirBytes) {
    Bytes fields = Samples(2, {1, 2});          // integer PCM, 2 channels
    PutLe(fields, 44100, 4);                   // sample rate
    PutLe(fields, 176400, 4);                  // byte rate
    PutLe(fields, 4, 2);                       // block align
    PutLe(fields, 16, 2);                      // bits per sample
    fields.insert(fields.end(), {0, 0});       // extension size
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
        Chunk("FMT ", Bytes(16, 0xEE)),           // not a format chunk
        Fmt(1, 1, 8000, 8),
        Chunk("DATA", {1}),                       // not the data chunk
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
    const ReadResult result =
        ReadFromBytes(Riff({Fmt(1, 1, 8000, 8), Fmt(3, 2, 48000, 32), Chunk("fmt ", {})}));
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.wave.format.formatTag, 3);
    EXPECT_EQ(result.wave.format.channels, 2);
    EXPECT_EQ(result.wave.format.bitsPerSample, 32);
}

}  // namespace
