// Child processes that drop to the unprivileged user "nobody".
#include "UnprivilegedUser.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
// The child's status when it could not become the user; no step returns it.
constexpr int kNotDropped = 125;

}  // namespace

int StatusAsUnprivilegedUser(const std::function<int()>& step) {
    const pid_t child = fork();
    if (child == 0) {
        // The group first: once the user is dropped, the group can no longer change.
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(kNogroup) == 0 && setuid(kNobody) == 0;
        _exit(dropped ? step() : kNotDropped);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == kNotDropped) {
        return -1;
    }
    return WEXITSTATUS(status);
}

bool UnprivilegedUserReaches(const std::filesystem::path& path) {
    return StatusAsUnprivilegedUser([&path] { return access(path.c_str(), X_OK) == 0 ? 0 : 1; }) == 0;
}
