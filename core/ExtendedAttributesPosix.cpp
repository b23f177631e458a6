// Extended attributes through the C library's <sys/xattr.h>, with no library beyond it.
#include "core/ExtendedAttributes.h"

#include "core/AccessAcl.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace extendedattributes {
namespace {

constexpr char kAccessAcl[] = "system.posix_acl_access";
// A list or a value may grow between the question of its size and its reading; it is asked again.
constexpr int kAttempts = 4;

using Bytes = std::vector<char>;

// The whole answer of a call of the *xattr kind, `query(buffer, capacity)`, which gives the size it
// needs when asked with no capacity.
template <class Query>
bool ReadWhole(Query query, Bytes& out) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const ssize_t needed = query(nullptr, 0);
        if (needed <= 0) {
            out.clear();
            return needed == 0;
        }
        out.resize(static_cast<std::size_t>(needed));
        const ssize_t got = query(out.data(), out.size());
        if (got >= 0) {
            out.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) {
            return false;
        }
    }
    return false;
}

bool ValueOf(const std::string& path, const char* name, Bytes& value) {
    return ReadWhole(
        [&](char* buffer, std::size_t capacity) { return lgetxattr(path.c_str(), name, buffer, capacity); }, value);
}

// The names, each ended by a zero byte; none where the file system keeps no attributes.
Bytes NamesOf(const std::string& path) {
    Bytes names;
    if (!ReadWhole([&](char* buffer, std::size_t capacity) { return llistxattr(path.c_str(), buffer, capacity); },
                   names)) {
        names.clear();
    }
    return names;
}

// An attribute this process may not set (another user's namespace, a security label) is left out.
void CopyAttribute(const std::string& path, const char* name, int descriptor) {
    Bytes value;
    if (ValueOf(path, name, value)) {
        static_cast<void>(fsetxattr(descriptor, name, value.data(), value.size(), 0));
    }
}

bool CopyAcl(const std::string& path, int descriptor, mode_t mode) {
    Bytes acl;
    const bool read = ValueOf(path, kAccessAcl, acl);
    if (read && fsetxattr(descriptor, kAccessAcl, acl.data(), acl.size(), 0) == 0) {
        return true;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(acl.data());
    return fchmod(descriptor, ModeWithoutAcl(mode, bytes, read ? acl.size() : 0)) == 0;
}

// A new file takes the default ACL of its folder, which the replaced file did not have.
bool DropInheritedAcl(int descriptor) {
    return fremovexattr(descriptor, kAccessAcl) == 0 || errno == ENODATA || errno == ENOTSUP;
}

}  // namespace

// The ACL comes last: setting it sets the group bits of the mode too.
bool TakeOver(const std::string& path, int descriptor, mode_t mode) {
    const Bytes names = NamesOf(path);
    bool hadAcl = false;
    for (auto first = names.begin(); first != names.end();) {
        const auto last = std::find(first, names.end(), '\0');
        const std::string name(first, last);
        first = last == names.end() ? last : last + 1;
        if (name == kAccessAcl) {
            hadAcl = true;
        } else if (!name.empty()) {
            CopyAttribute(path, name.c_str(), descriptor);
        }
    }
    return hadAcl ? CopyAcl(path, descriptor, mode) : DropInheritedAcl(descriptor);
}

}  // namespace extendedattributes
