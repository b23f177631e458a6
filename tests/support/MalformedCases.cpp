// The malformed-input table: each file as it stands on disk and what the job makes of it.
#include "MalformedCases.h"

#include <limits>

namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kFloat = 3;

// A "fmt " chunk with every field given, for files whose fields disagree with one another.
Bytes FmtFields(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t byteRate, std::uint16_t blockAlign,
                std::uint16_t bitsPerSample, const Bytes& extension = {}) {
    Bytes fields;
    PutLe(fields, formatTag, 2);
    PutLe(fields, channels, 2);
    PutLe(fields, 8000, 4);  // sample rate
    PutLe(fields, byteRate, 4);
    PutLe(fields, blockAlign, 2);
    PutLe(fields, bitsPerSample, 2);
    fields.insert(fields.end(), extension.begin(), extension.end());
    return Chunk("fmt ", fields);
}

// 16-bit mono: at a gain of 2 only 500 and 600 pass -40 dB (a level of 0.01, 327.68 of 32768).
const Bytes kFmt16 = Fmt(kPcm, 1, 8000, 16);
const Bytes kQuiet = Chunk("data", Samples(2, {0, 10, 500, 600, 5, 0}));
const Bytes kTrimmed = Chunk("data", Samples(2, {1000, 1200}));
const Bytes kScaledOnly = Chunk("data", Samples(2, {0, 20, 1000, 1200, 10, 0}));

MalformedCase Refused(std::string what, Bytes input) {
    return {std::move(what), std::move(input), Outcome::Refused, {}};
}

MalformedCase Written(std::string what, Bytes input, Bytes output) {
    return {std::move(what), std::move(input), Outcome::Written, std::move(output)};
}

// Input and output are the same file.
MalformedCase Kept(std::string what, Bytes input) {
    Bytes output = input;
    return Written(std::move(what), std::move(input), std::move(output));
}

std::vector<MalformedCase> FormatCases() {
    const Bytes extension40 = Concat({Samples(2, {22}), Bytes(22, 0x5A)});
    return {
        Kept("channels 0", Riff({Fmt(kPcm, 0, 8000, 16), kQuiet})),
        Kept("bitsPerSample 0", Riff({Fmt(kPcm, 1, 8000, 0), kQuiet})),
        Written("blockAlign 0", Riff({FmtFields(kPcm, 1, 16000, 0, 16), kQuiet}),
                Riff({FmtFields(kPcm, 1, 16000, 0, 16), kTrimmed})),
        Written("blockAlign disagrees with the width", Riff({FmtFields(kPcm, 1, 16000, 3, 16), kQuiet}),
                Riff({FmtFields(kPcm, 1, 16000, 3, 16), kTrimmed})),
        Written("data before fmt", Riff({kQuiet, kFmt16}), Riff({kTrimmed, kFmt16})),
        Kept("no fmt", Riff({kQuiet})),
        Kept("no data", Riff({kFmt16, Chunk("LIST", {'I', 'N', 'F', 'O'})})),
        Written("two fmt chunks: the later 16-bit one wins over 8-bit", Riff({Fmt(kPcm, 1, 8000, 8), kQuiet, kFmt16}),
                Riff({Fmt(kPcm, 1, 8000, 8), kTrimmed, kFmt16})),
        // Six samples are no whole frame of 65535 channels: scaled, nothing cut.
        Written("two fmt chunks: the later one has 65535 channels", Riff({kFmt16, kQuiet, Fmt(kPcm, 65535, 8000, 16)}),
                Riff({kFmt16, kScaledOnly, Fmt(kPcm, 65535, 8000, 16)})),
        Kept("fmt of size 0", Riff({Chunk("fmt ", {}), kQuiet})),
        Refused("fmt of size 1", Riff({Chunk("fmt ", {1}), kQuiet})),
        Refused("fmt of size 15", Riff({Chunk("fmt ", Bytes(15, 1)), kQuiet})),
        Written("fmt of size 18", Riff({FmtFields(kPcm, 1, 16000, 2, 16, {0, 0}), kQuiet}),
                Riff({FmtFields(kPcm, 1, 16000, 2, 16, {0, 0}), kTrimmed})),
        Written("fmt of size 40 keeps its extension bytes",
                Riff({FmtFields(kPcm, 1, 16000, 2, 16, extension40), kQuiet}),
                Riff({FmtFields(kPcm, 1, 16000, 2, 16, extension40), kTrimmed})),
        Refused("extensible format chunk of 16 bytes", Riff({Fmt(0xFFFE, 1, 8000, 16), kQuiet})),
        Written("extensible integer PCM keeps its format chunk", Riff({FmtExtensible(kPcm, 1, 8000, 16, 16), kQuiet}),
                Riff({FmtExtensible(kPcm, 1, 8000, 16, 16), kTrimmed})),
        Refused("extensible with a subformat of its own", Riff({FmtExtensible(kPcm, 1, 8000, 16, 16, false), kQuiet})),
        Refused("format code 2", Riff({Fmt(2, 1, 8000, 16), kQuiet})),
        Kept("12 bits", Riff({Fmt(kPcm, 1, 8000, 12), kQuiet})),
        Kept("20 bits", Riff({Fmt(kPcm, 1, 8000, 20), Chunk("data", Samples(3, {0, 99999, 0}))})),
        Kept("64 bits", Riff({Fmt(kPcm, 1, 8000, 64), Chunk("data", Samples(4, {0, 0, 99999, 0}))})),
    };
}

std::vector<MalformedCase> SizeCases() {
    const Bytes body = Samples(2, {1, 2});
    return {
        Refused("unknown chunk of size 0xFFFFFFF8", Riff({kFmt16, ChunkDeclaring("LIST", 0xFFFFFFF8u, body), kQuiet})),
        Refused("LIST runs past the end", Riff({kFmt16, ChunkDeclaring("LIST", 100, body)})),
        Written("data of size 0xFFFFFFFF is what the file holds",
                Riff({kFmt16, ChunkDeclaring("data", 0xFFFFFFFFu, Samples(2, {0, 10, 500, 600, 5, 0}))}),
                Riff({kFmt16, kTrimmed})),
        Written(
            "data running past the end keeps its whole frames",
            Riff({Fmt(kPcm, 2, 8000, 16), ChunkDeclaring("data", 100, Concat({Samples(2, {0, 0, 500, 600}), {1}}))}),
            Riff({Fmt(kPcm, 2, 8000, 16), Chunk("data", Samples(2, {1000, 1200}))})),
        Written("odd chunk with its pad byte", Riff({kFmt16, Chunk("LIST", {1, 2, 3}), kQuiet}),
                Riff({kFmt16, Chunk("LIST", {1, 2, 3}), kTrimmed})),
        Written("odd chunk without a pad byte gets one", Riff({kFmt16, ChunkDeclaring("LIST", 3, {1, 2, 3}), kQuiet}),
                Riff({kFmt16, Chunk("LIST", {1, 2, 3}), kTrimmed})),
        Written("RIFF size larger than the file", WithRiffSize(Riff({kFmt16, kQuiet}), 0x7FFFFFFF),
                Riff({kFmt16, kTrimmed})),
        Written("RIFF size smaller than the file", WithRiffSize(Riff({kFmt16, kQuiet}), 4), Riff({kFmt16, kTrimmed})),
        Written("three stray bytes at the end are dropped", Concat({Riff({kFmt16, kQuiet}), {9, 9, 9}}),
                Riff({kFmt16, kTrimmed})),
        Written("six stray bytes at the end are dropped", Concat({Riff({kFmt16, kQuiet}), {'j', 'u', 'n', 'k', 1, 0}}),
                Riff({kFmt16, kTrimmed})),
    };
}

std::vector<MalformedCase> SampleCases() {
    const Bytes fmt24 = Fmt(kPcm, 2, 8000, 24);
    // 24-bit stereo: four whole frames, then one lone sample and one stray byte.
    const Bytes quietHead = Concat({Samples(3, {0, 0, 0, 0, 100000, -100000, 200000, 5, 300000}), {7}});
    const Bytes allLoud = Concat({Samples(3, {100000, 100000, 100000, -100000, 300000}), {7}});
    const Bytes allLoudScaled = Concat({Samples(3, {200000, 200000, 200000, -200000, 600000}), {7}});

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Bytes fmtFloat = Fmt(kFloat, 1, 8000, 32);

    // 65535 channels of 16 bits: a silent frame, then a frame with one loud sample in it.
    Bytes wide(2 * 65535 * 2, 0);
    Bytes wideKept(2 * 65535, 0);
    wide[2 * 65535 + 2 * 40000] = 0x00;
    wide[2 * 65535 + 2 * 40000 + 1] = 0x10;  // 4096
    wideKept[2 * 40000 + 1] = 0x20;          // 8192
    const Bytes fmtWide = Fmt(kPcm, 65535, 8000, 16);

    return {
        Written("partial last frame, 24-bit stereo, head cut", Riff({fmt24, Chunk("data", quietHead)}),
                Riff({fmt24, Chunk("data", Samples(3, {200000, -200000, 400000, 10}))})),
        Written("partial last frame, 24-bit stereo, nothing cut", Riff({fmt24, Chunk("data", allLoud)}),
                Riff({fmt24, Chunk("data", allLoudScaled)})),
        Written("65535 channels", Riff({fmtWide, Chunk("data", wide)}), Riff({fmtWide, Chunk("data", wideKept)})),
        // NaN is never loud and survives the gain; infinities are loud; floats are not clamped.
        Written("NaN, infinities and values above 1.0 in float data",
                Riff({fmtFloat, Chunk("data", FloatSamples({0, nan, 0.001f, inf, nan, 1.5f, -inf, 0}))}),
                Riff({fmtFloat, Chunk("data", FloatSamples({inf, nan, 3.0f, -inf}))})),
        Kept("float data that is all NaN", Riff({fmtFloat, Chunk("data", FloatSamples({nan, nan}))})),
        Kept("zero frames", Riff({kFmt16, Chunk("data", {})})),
        Kept("all-silent 16-bit", Riff({kFmt16, Chunk("data", Bytes(64, 0))})),
        Kept("all-silent 8-bit", Riff({Fmt(kPcm, 1, 8000, 8), Chunk("data", Bytes(63, 128))})),
        Kept("all-silent float", Riff({fmtFloat, Chunk("data", FloatSamples({0, -0.0f, 0}))})),
    };
}

}  // namespace

std::vector<MalformedCase> MalformedCases() {
    std::vector<MalformedCase> cases = FormatCases();
    for (auto&& more : {SizeCases(), SampleCases()}) {
        cases.insert(cases.end(), more.begin(), more.end());
    }
    return cases;
}
