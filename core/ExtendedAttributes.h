// A replaced file's extended attributes carried over to its replacement on POSIX systems: the
// access ACL, the user's own attributes, and those of the other namespaces this process may set.
#pragma once

#include <sys/types.h>

#include <string>

namespace extendedattributes {

// Gives the open file `descriptor`, whose mode is already `mode`, the extended attributes of the
// file at `path` (a link is not followed) that this process may set; an attribute it may not set
// is left out. The access ACL goes with them; where it cannot, the mode is narrowed as
// ModeWithoutAcl says, and where the replaced file had none, one inherited from the folder is
// dropped. False when the permissions could not be made so.
bool TakeOver(const std::string& path, int descriptor, mode_t mode);

}  // namespace extendedattributes
