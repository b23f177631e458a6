// Writes the fuzzer's seed corpus into a folder: every malformed case, and well-formed files of
// every sample width with silence at both ends, some with markers, each behind a header of
// processing values.
#include "FuzzInput.h"
#include "support/MalformedCases.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

namespace {

struct Width {
    std::uint16_t formatTag;
    std::uint16_t bits;
};

const Width kWidths[] = {{1, 8}, {1, 16}, {1, 24}, {1, 32}, {3, 32}, {1, 12}, {3, 16}};

// A short tone between two stretches of digital silence.
Bytes TonePadded(const Width& width, std::uint16_t channels) {
    const std::size_t bytesPerSample = width.bits / 8u;
    Bytes data;
    for (int frame = 0; frame < 48; ++frame) {
        const bool silent = frame < 12 || frame >= 36;
        const double value = silent ? 0.0 : 0.6 * std::sin(frame * 0.7);
        for (std::uint16_t c = 0; c < channels; ++c) {
            if (width.formatTag == 3 && width.bits == 32) {
                const Bytes sample = FloatSamples({static_cast<float>(value)});
                data.insert(data.end(), sample.begin(), sample.end());
            } else if (width.bits == 8) {
                data.push_back(static_cast<std::uint8_t>(128 + value * 127));
            } else {
                const double full = std::ldexp(1.0, static_cast<int>(8 * bytesPerSample) - 1) - 1;
                PutLe(data, static_cast<std::uint64_t>(static_cast<std::int64_t>(value * full)),
                      static_cast<int>(bytesPerSample));
            }
        }
    }
    return data;
}

// The chunks whose positions a trim moves, each pointing into the tone.
Bytes PositionChunks() {
    Bytes fact;
    PutLe(fact, 48, 4);
    const Bytes cue = Concat({{2, 0, 0, 0}, CuePoint(1, 4, "data", 4), CuePoint(2, 20, "data", 20)});
    const Bytes regions = Concat({{'a', 'd', 't', 'l'}, Region(1, 30), Region(2, 40)});
    return Concat({Chunk("bext", Bext(3600)), Chunk("fact", fact), Chunk("cue ", cue),
                   Chunk("smpl", SamplerLoop(10, 40)), Chunk("LIST", regions)});
}

std::vector<Bytes> WellFormedFiles() {
    std::vector<Bytes> files;
    for (const Width& width : kWidths) {
        for (const std::uint16_t channels : {1, 2}) {
            const Bytes data = TonePadded(width, channels);
            files.push_back(Riff({Fmt(width.formatTag, channels, 8000, width.bits), Chunk("data", data)}));
            files.push_back(
                Riff({Chunk("LIST", {'I', 'N', 'F', 'O', 'x'}), Fmt(width.formatTag, channels, 8000, width.bits),
                      Chunk("data", data), Chunk("data", {1, 2, 3})}));
            files.push_back(
                Riff({Fmt(width.formatTag, channels, 8000, width.bits), PositionChunks(), Chunk("data", data)}));
            files.push_back(Wave64(channels == 1 ? "RF64" : "BW64",
                                   {Ds64(0, data.size(), 0, {{"JUNK", 3}}), ChunkDeclaring("JUNK", ~0u, {1, 2, 3, 0}),
                                    Fmt(width.formatTag, channels, 8000, width.bits), PositionChunks(),
                                    ChunkDeclaring("data", ~0u, data)}));
        }
    }
    return files;
}

constexpr float kInfinity = std::numeric_limits<float>::infinity();

const ProcessingValues kValues[] = {
    {1.5f, {-40.0f, 0.0f}, {-40.0f, 0.0f}},
    {2.0f, {-60.0f, 20 * kMarginStepSec}, {-20.0f, 40 * kMarginStepSec}},
    {0.1f, {0.0f, -5 * kMarginStepSec}, {-96.0f, 127 * kMarginStepSec}},
    {std::numeric_limits<float>::quiet_NaN(), {-6.0f, kMarginStepSec}, {kInfinity, kMarginStepSec}},
    // Every sample but exact silence is louder than -infinity dB.
    {1.0f, {-kInfinity, 127 * kMarginStepSec}, {-kInfinity, 127 * kMarginStepSec}},
};

bool WriteSeed(const std::filesystem::path& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    std::vector<Bytes> files = WellFormedFiles();
    for (const MalformedCase& row : MalformedCases()) {
        files.push_back(row.input);
    }
    int count = 0;
    for (const Bytes& file : files) {
        for (const ProcessingValues& values : kValues) {
            const Bytes seed = JoinFuzzInput(values, file);
            if (!WriteSeed(folder / ("seed-" + std::to_string(count++)), seed)) {
                std::fprintf(stderr, "cannot write the seeds into %s\n", argv[1]);
                return 1;
            }
        }
    }
    std::printf("%d seeds in %s\n", count, argv[1]);
    return 0;
}
