// The file name of a path, split at the separators of the platform.
#include "core/PathParts.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(PathParts, FileNameFollowsTheLastSeparatorOfThePlatform) {
    const struct {
        const char* path;
        const char* name;
    } rows[] = {
        {"a.wav", "a.wav"},         {"in/sub/a.wav", "a.wav"},      {"/a.wav", "a.wav"}, {"in/", ""},
#ifdef _WIN32
        {"C:\\in\\a.wav", "a.wav"}, {"C:\\in\\sub/a.wav", "a.wav"},
#else
        {"in\\a.wav", "in\\a.wav"},
#endif
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Utf8FromUtf16(FileNameOf(Utf16FromPath(row.path).c_str())), row.name) << row.path;
    }
}

}  // namespace
