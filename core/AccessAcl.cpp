#include "core/AccessAcl.h"

#include "core/ByteOrder.h"

namespace {

constexpr std::size_t kHeaderBytes = 4;
constexpr std::size_t kEntryBytes = 8;
constexpr std::uint32_t kVersion = 2;
constexpr std::uint16_t kOwningGroupTag = 0x04;
constexpr std::uint32_t kGroupShift = 3;
constexpr std::uint32_t kGroupBits = 07 << kGroupShift;

// The read, write and execute bits of the owning group's entry; none without a well-formed one.
std::uint32_t OwningGroupPermissions(const std::uint8_t* acl, std::size_t size) {
    if (size < kHeaderBytes || (size - kHeaderBytes) % kEntryBytes != 0 || ReadLe32(acl) != kVersion) {
        return 0;
    }
    for (std::size_t at = kHeaderBytes; at < size; at += kEntryBytes) {
        if (ReadLe16(acl + at) == kOwningGroupTag) {
            return ReadLe16(acl + at + 2) & 07u;
        }
    }
    return 0;
}

}  // namespace

std::uint32_t ModeWithoutAcl(std::uint32_t mode, const std::uint8_t* acl, std::size_t size) {
    return (mode & ~kGroupBits) | (mode & OwningGroupPermissions(acl, size) << kGroupShift);
}
