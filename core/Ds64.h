// The "ds64" chunk that opens an RF64 or BW64 file: the 64-bit sizes that the 32-bit header
// fields cannot hold, which those fields then replace by a placeholder.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ds64 {

// The size field of a header whose real size "ds64" holds.
constexpr std::uint32_t kPlaceholder = 0xFFFFFFFF;

// The RIFF size, the size of the first "data" chunk and its frame count, 64 bits each; then the
// number of table rows, each a chunk identifier and that chunk's 64-bit size.
constexpr std::size_t kRiffSize = 0;
constexpr std::size_t kDataSize = 8;
constexpr std::size_t kFrameCount = 16;
constexpr std::size_t kSizeFields = 24;
constexpr std::size_t kTableLength = 24;
constexpr std::size_t kFieldBytes = 28;
constexpr std::size_t kRowBytes = 12;

}  // namespace ds64
