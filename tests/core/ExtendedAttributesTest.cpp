// A replaced file's ACL and extended attributes on POSIX systems: they go with its replacement, and
// where the ACL cannot, the mode grants the owning group no more than the ACL did.
#include "core/WaveWriter.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32

#include "core/AccessAcl.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <optional>

namespace {

using Kind = FileReason::Kind;

// The tool's standard output; nothing when it could not run or failed.
std::optional<std::string> RunTool(const std::string& command) {
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return std::nullopt;
    }
    std::string output;
    char buffer[256];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, got);
    }
    return pclose(pipe) == 0 ? std::optional<std::string>(output) : std::nullopt;
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

std::optional<std::string> AclOf(const std::filesystem::path& path) {
    return RunTool("getfacl --omit-header --absolute-names " + Quoted(path));
}

bool SetAcl(const std::string& options, const std::filesystem::path& path) {
    return RunTool("setfacl " + options + " " + Quoted(path)).has_value();
}

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0);
    return status.st_mode & 07777;
}

constexpr char kNote[] = "user.palvotrix-test";

std::string NoteOf(const std::filesystem::path& path) {
    char value[64];
    const ssize_t got = getxattr(path.c_str(), kNote, value, sizeof value);
    return got < 0 ? std::string() : std::string(value, static_cast<std::size_t>(got));
}

// Why the test folder's file system cannot take the test's ACLs and attributes; empty when it can.
std::string MissingSupport(const std::filesystem::path& probe) {
    WriteBytes(probe, {0});
    if (!SetAcl("-m u:nobody:r", probe)) {
        return "setfacl (Debian package acl) is missing, or the file system under " + probe.parent_path().string() +
               " keeps no ACLs";
    }
    if (setxattr(probe.c_str(), kNote, "x", 1, 0) != 0) {
        return "the file system under " + probe.parent_path().string() + " keeps no user.* attributes";
    }
    std::filesystem::remove(probe);
    return "";
}

Kind Replace(const std::filesystem::path& target) {
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(target.parent_path()).c_str());
    FileReason reason;
    WaveFile empty;
    WriteWaveFile(settings, Utf16FromPath(target).c_str(), empty, reason);
    return reason.kind;
}

// A 0640 file with an ACL that lets another user read and write it: its mode shows the ACL's mask
// in the group's place, 0660, though the owning group may only read.
TEST(ExtendedAttributesTest, ReplacementKeepsTheAclAndTheUsersAttributes) {
    TempFolder folder;
    const std::string missing = MissingSupport(folder / "probe");
    if (!missing.empty()) {
        GTEST_SKIP() << missing;
    }
    const std::filesystem::path target = folder / "x.wav";
    WriteBytes(target, {5});
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_TRUE(SetAcl("-m u:nobody:rw", target));
    ASSERT_EQ(setxattr(target.c_str(), kNote, "take 3", 6, 0), 0);
    const std::optional<std::string> acl = AclOf(target);
    ASSERT_TRUE(acl.has_value());
    ASSERT_NE(acl->find("user:nobody:rw-"), std::string::npos) << *acl;

    ASSERT_EQ(Replace(target), Kind::None);
    EXPECT_EQ(ReadBytes(target), Riff({}));
    EXPECT_EQ(AclOf(target), acl);
    EXPECT_EQ(ModeOf(target), 0660u);
    EXPECT_EQ(NoteOf(target), "take 3");
}

// A new file takes its folder's default ACL; the file it replaces had none, and neither has the
// result.
TEST(ExtendedAttributesTest, AclInheritedFromTheFolderIsDroppedWhereTheReplacedFileHadNone) {
    TempFolder folder;
    const std::string missing = MissingSupport(folder / "probe");
    if (!missing.empty()) {
        GTEST_SKIP() << missing;
    }
    ASSERT_TRUE(SetAcl("-d -m u:nobody:rwx", folder.Path()));
    const std::filesystem::path target = folder / "x.wav";
    WriteBytes(target, {5});
    ASSERT_TRUE(SetAcl("-b", target));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);

    ASSERT_EQ(Replace(target), Kind::None);
    EXPECT_EQ(getxattr(target.c_str(), "system.posix_acl_access", nullptr, 0), -1);
    EXPECT_EQ(errno, ENODATA);
    EXPECT_EQ(ModeOf(target), 0640u);
}

// An ACL in its stored form: version, then tag, permissions and id of each entry.
Bytes Acl(std::uint32_t version, std::initializer_list<std::array<std::uint32_t, 3>> entries) {
    Bytes out;
    PutLe(out, version, 4);
    for (const auto& entry : entries) {
        PutLe(out, entry[0], 2);
        PutLe(out, entry[1], 2);
        PutLe(out, entry[2], 4);
    }
    return out;
}

TEST(ExtendedAttributesTest, ModeWithoutTheAclGrantsTheOwningGroupNoMoreThanItsEntry) {
    constexpr std::uint32_t kOwner = 0x01, kUser = 0x02, kGroup = 0x04, kMask = 0x10, kOther = 0x20;
    constexpr std::uint32_t kAnyone = 0xFFFFFFFFu;
    const Bytes granting = Acl(
        2, {{kOwner, 6, kAnyone}, {kUser, 6, 65534}, {kGroup, 4, kAnyone}, {kMask, 6, kAnyone}, {kOther, 0, kAnyone}});
    Bytes cut = granting;
    cut.pop_back();
    const struct {
        const char* what;
        std::uint32_t mode;
        Bytes acl;
        std::uint32_t expected;
    } rows[] = {
        {"a mask wider than the group's entry", 0660, granting, 0640},
        {"a group's entry wider than the mask", 0640,
         Acl(2, {{kOwner, 6, kAnyone}, {kGroup, 7, kAnyone}, {kMask, 4, kAnyone}, {kOther, 0, kAnyone}}), 0640},
        {"set-ID bits, owner and others as they were", 06775, Acl(2, {{kGroup, 5, kAnyone}}), 06755},
        {"another version", 0660, Acl(1, {{kGroup, 6, kAnyone}}), 0600},
        {"an entry cut short", 0660, cut, 0600},
        {"no entry for the group", 0664, Acl(2, {{kOwner, 6, kAnyone}, {kOther, 4, kAnyone}}), 0604},
        {"nothing", 0660, {}, 0600},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ModeWithoutAcl(row.mode, row.acl.data(), row.acl.size()), row.expected) << row.what;
    }
}

}  // namespace

#endif
