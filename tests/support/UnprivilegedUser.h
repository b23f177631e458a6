// Steps run as the unprivileged user "nobody", for the tests of what such a user may and may not
// do (POSIX, run as root: only root may become another user).
#pragma once

#include <filesystem>
#include <functional>

// The exit status of a child process that becomes the unprivileged user and then runs `step`,
// whose result is the status (unless it replaces the child with another program); -1 when the
// child could not become the user or was ended by a signal.
int StatusAsUnprivilegedUser(const std::function<int()>& step);

// Whether the unprivileged user may search or run `path`: not when a folder on the way is closed
// to others, as a build or temporary folder of mode 0700 is.
bool UnprivilegedUserReaches(const std::filesystem::path& path);
