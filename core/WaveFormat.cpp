// The "fmt " chunk's fields, read little-endian from the bytes the reader took of it.
#include "core/WaveFormat.h"

#include "core/ByteOrder.h"
#include "core/FormatCodes.h"

#include <cstring>

namespace {

using Kind = FileReason::Kind;

constexpr std::size_t kFormatFieldBytes = 16;
// The least extension the extensible format declares: valid bits, channel mask and subformat GUID.
constexpr std::uint16_t kExtensibleExtensionBytes = 22;
// Bytes 4 to 15 of every subformat GUID that stands for a plain format code, which is held in
// bytes 0 to 3: xxxxxxxx-0000-0010-8000-00AA00389B71.
constexpr std::uint8_t kSubformatGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

FileReason UnsupportedCoding(Kind kind, std::uint32_t code) {
    FileReason reason(kind);
    reason.code = code;
    return reason;
}

// The extensible format's valid bits, channel mask and subformat; only the PCM and float subformats are taken.
FileReason ParseExtensible(const std::uint8_t* fields, std::size_t count, std::uint64_t chunkOffset,
                           WaveFormat& format) {
    if (count < kFormatChunkBytes || ReadLe16(fields + 16) < kExtensibleExtensionBytes) {
        return DamagedAt(chunkOffset);
    }
    format.validBitsPerSample = ReadLe16(fields + 18);
    format.channelMask = ReadLe32(fields + 20);
    if (std::memcmp(fields + 28, kSubformatGuidTail, sizeof kSubformatGuidTail) != 0) {
        return FileReason(Kind::UnknownSubformat);
    }
    const std::uint32_t code = ReadLe32(fields + 24);
    if (code != formatcode::kIntegerPcm && code != formatcode::kIeeeFloat) {
        return UnsupportedCoding(Kind::UnsupportedSubformat, code);
    }
    format.subformatCode = static_cast<std::uint16_t>(code);
    return {};
}

}  // namespace

std::uint16_t WaveFormat::Coding() const {
    return formatTag == formatcode::kExtensible ? subformatCode : formatTag;
}

FileReason ParseFormatChunk(const std::uint8_t* fields, std::size_t count, std::uint64_t chunkOffset,
                            WaveFormat& format) {
    if (count == 0) {
        return {};
    }
    if (count < kFormatFieldBytes) {
        return DamagedAt(chunkOffset);
    }
    format = WaveFormat{};
    format.formatTag = ReadLe16(fields);
    format.channels = ReadLe16(fields + 2);
    format.sampleRate = ReadLe32(fields + 4);
    format.byteRate = ReadLe32(fields + 8);
    format.blockAlign = ReadLe16(fields + 12);
    format.bitsPerSample = ReadLe16(fields + 14);
    switch (format.formatTag) {
        case formatcode::kIntegerPcm:
        case formatcode::kIeeeFloat:
        case formatcode::kALaw:
        case formatcode::kMuLaw:
            return {};
        case formatcode::kExtensible:
            return ParseExtensible(fields, count, chunkOffset, format);
        default:
            return UnsupportedCoding(Kind::UnsupportedCoding, format.formatTag);
    }
}
