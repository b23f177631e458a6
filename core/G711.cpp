// G.711 A-law and µ-law: expansion through tables made at compile time, compression by finding the
// segment of the value.
#include "core/G711.h"

#include <algorithm>

namespace {

constexpr int kSegments = 8;
constexpr std::int32_t kALawSegmentEnds[kSegments] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
constexpr std::int32_t kMuLawSegmentEnds[kSegments] = {0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF};
constexpr std::int32_t kMuLawBias = 0x84;
constexpr std::int32_t kMuLawClip = 8159;

constexpr std::int16_t ALawValue(std::uint8_t code) {
    const int bits = code ^ 0x55;
    const int segment = (bits & 0x70) >> 4;
    int magnitude = (bits & 0x0F) << 4;
    magnitude += segment == 0 ? 8 : 0x108;
    if (segment > 1) {
        magnitude <<= segment - 1;
    }
    return static_cast<std::int16_t>((bits & 0x80) != 0 ? magnitude : -magnitude);
}

constexpr std::int16_t MuLawValue(std::uint8_t code) {
    const int bits = ~code & 0xFF;
    const int magnitude = (((bits & 0x0F) << 3) + kMuLawBias) << ((bits & 0x70) >> 4);
    return static_cast<std::int16_t>((bits & 0x80) != 0 ? kMuLawBias - magnitude : magnitude - kMuLawBias);
}

struct ExpansionTable {
    std::int16_t values[256];
};

template <std::int16_t (*Expand)(std::uint8_t)>
constexpr ExpansionTable MakeTable() {
    ExpansionTable table{};
    for (int code = 0; code < 256; ++code) {
        table.values[code] = Expand(static_cast<std::uint8_t>(code));
    }
    return table;
}

constexpr ExpansionTable kALaw = MakeTable<ALawValue>();
constexpr ExpansionTable kMuLaw = MakeTable<MuLawValue>();

// The magnitude of a 16-bit value in the law's resolution, taking a negative value by its one's
// complement as the reference encoders do, so that -1 lies in the same step as 0's mirror image.
std::int32_t MagnitudeOf(std::int32_t linear, int droppedBits) {
    return (linear < 0 ? -linear - 1 : linear) >> droppedBits;
}

int SegmentOf(std::int32_t magnitude, const std::int32_t (&ends)[kSegments]) {
    int segment = 0;
    while (segment < kSegments && magnitude > ends[segment]) {
        ++segment;
    }
    return segment;
}

}  // namespace

std::int16_t ExpandALaw(std::uint8_t code) {
    return kALaw.values[code];
}

std::int16_t ExpandMuLaw(std::uint8_t code) {
    return kMuLaw.values[code];
}

std::uint8_t CompressALaw(std::int32_t linear) {
    const std::int32_t magnitude = MagnitudeOf(linear, 3);
    const int mask = linear < 0 ? 0x55 : 0xD5;
    const int segment = SegmentOf(magnitude, kALawSegmentEnds);
    if (segment == kSegments) {
        return static_cast<std::uint8_t>(0x7F ^ mask);
    }
    const int step = (magnitude >> (segment < 2 ? 1 : segment)) & 0x0F;
    return static_cast<std::uint8_t>(((segment << 4) | step) ^ mask);
}

std::uint8_t CompressMuLaw(std::int32_t linear) {
    const std::int32_t magnitude = std::min(MagnitudeOf(linear, 2), kMuLawClip) + (kMuLawBias >> 2);
    const int mask = linear < 0 ? 0x7F : 0xFF;
    const int segment = SegmentOf(magnitude, kMuLawSegmentEnds);
    if (segment == kSegments) {
        return static_cast<std::uint8_t>(0x7F ^ mask);
    }
    const int step = (magnitude >> (segment + 1)) & 0x0F;
    return static_cast<std::uint8_t>(((segment << 4) | step) ^ mask);
}
