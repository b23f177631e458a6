// Little-endian fields of RIFF files, built from their bytes by shifting, so that the code is the
// same on every platform and compiler. The caller has checked that the bytes are there.
#pragma once

#include <cstdint>

inline std::uint16_t ReadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t ReadLe64(const std::uint8_t* p) {
    return ReadLe32(p) | std::uint64_t{ReadLe32(p + 4)} << 32;
}

inline void WriteLe32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

inline void WriteLe64(std::uint8_t* p, std::uint64_t value) {
    WriteLe32(p, static_cast<std::uint32_t>(value));
    WriteLe32(p + 4, static_cast<std::uint32_t>(value >> 32));
}
