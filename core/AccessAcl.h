// The access ACL of a POSIX file in the form its extended attribute "system.posix_acl_access"
// holds: a 32-bit version (2), then entries of a 16-bit tag, 16-bit permissions and a 32-bit id,
// all little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

// The mode a replacement may keep where the replaced file's ACL cannot go with it. Under an ACL
// with a mask the mode's group bits are the mask, which may allow the owning group more than its
// own entry does: the group bits then keep only what that entry grants too, and none where `acl`
// holds no well-formed ACL with such an entry.
std::uint32_t ModeWithoutAcl(std::uint32_t mode, const std::uint8_t* acl, std::size_t size);
