// The output file on a real file system: the temporary file never goes through a link, the result
// keeps the replaced file's identity, read-only targets, outputs larger than the disk's room and
// non-regular inputs are refused, and a run recognises an output path under any spelling.
#include "core/FileJob.h"
#include "core/FileService.h"
#include "core/WaveWriter.h"
#include "core/WrittenOutputs.h"

#include "support/TestFiles.h"
#ifndef _WIN32
#include "support/UnprivilegedUser.h"
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using Kind = FileReason::Kind;

Utf16String Text(const std::string& utf8) {
    return Utf16FromUtf8(utf8);
}

void SetOutputFolder(ProcessingSettings& settings, const std::filesystem::path& folder) {
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(folder).c_str());
}

// Why the write failed; None when it succeeded.
Kind Write(const std::filesystem::path& target) {
    ProcessingSettings settings;
    SetOutputFolder(settings, target.parent_path());
    FileReason reason;
    WaveFile empty;
    const bool written = WriteWaveFile(settings, Utf16FromPath(target).c_str(), empty, reason);
    EXPECT_EQ(written, reason.kind == Kind::None);
    return reason.kind;
}

TEST(OutputFileTest, OneOutputPathUnderEverySpelling) {
    const Utf16String sep(1, Utf16Char(
#ifdef _WIN32
                                 '\\'
#else
                                 '/'
#endif
                                 ));
    const Utf16String root = WrittenOutputs::Normalised(Text(".").c_str());
    ASSERT_FALSE(root.empty());
    const struct {
        const char* spelling;
        const char* same;
        bool expected;
    } rows[] = {
        {"a/x.wav", "a/./x.wav", true}, {"a/x.wav", "a/../a/x.wav", true}, {"a/x.wav", "a//b/../x.wav", true},
        {"a/x.wav", "b/x.wav", false},  {"a/x.wav", "a/x.wav.wav", false},
#ifdef _WIN32
        {"a/x.wav", "A\\X.WAV", true},
#else
        {"a/x.wav", "A/X.WAV", false},
#endif
    };
    for (const auto& row : rows) {
        const Utf16String first = WrittenOutputs::Normalised(Text(row.spelling).c_str());
        const Utf16String second = WrittenOutputs::Normalised(Text(row.same).c_str());
        EXPECT_EQ(first == second, row.expected) << row.spelling << " / " << row.same;
    }
    // Relative spellings are taken from the current directory, so an absolute one meets them.
    const Utf16String absolute = WrittenOutputs::Normalised((root + sep + Text("x.wav")).c_str());
    EXPECT_EQ(WrittenOutputs::Normalised(Text("x.wav").c_str()), absolute);
    EXPECT_EQ(WrittenOutputs::Normalised(Text("/..").c_str()).find(Text("..")), Utf16String::npos);
}

TEST(OutputFileTest, NameAsLongAsTheFileSystemTakesIsWritten) {
    TempFolder folder;
    // 80 three-byte characters and ".wav": 244 bytes, 84 UTF-16 units.
    std::string name;
    for (int i = 0; i < 80; ++i) {
        name += "音";
    }
    name += ".wav";
    const std::filesystem::path target = folder.Path() / std::filesystem::u8path(name);
    ASSERT_EQ(Write(target), Kind::None);
    EXPECT_EQ(ReadBytes(target), Riff({}));
    EXPECT_EQ(ListFolder(folder.Path()).size(), 1u);
}

// A 0.7 MB file whose head margin asks for 256 TB of silence, more than any disk of a test machine
// holds, is refused before its temporary file exists. Should it be written after all, the first
// sight of the temporary file stops it, so that the disk does not fill.
TEST(OutputFileTest, MarginBeyondTheRoomOnTheDiskIsRefusedBeforeAnythingIsWritten) {
    TempFolder folder;
    const std::filesystem::path out = folder.MakeFolder("out");
    WriteBytes(folder / "in.wav", SilentFrameThenLoud(8000, 200000000));
    std::uint64_t freeBytes = 0;
    ASSERT_TRUE(fileservice::FreeSpace(Utf16FromPath(out).c_str(), freeBytes));
    if (freeBytes / 64000 / 20 >= 200000000) {
        GTEST_SKIP() << "the disk has room for 256 TB";
    }
    ProcessingSettings settings;
    SetOutputFolder(settings, out);
    settings.headThresholdDb = -40.0f;
    settings.headMarginSec = 20.0f;
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done && ListFolder(out).empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        settings.cancelRequested = true;
    });
    ProcessFile(settings, Utf16FromPath(folder / "in.wav").c_str());
    done = true;
    watcher.join();
    EXPECT_EQ(settings.reason.kind, Kind::NoRoom);
    EXPECT_TRUE(ListFolder(out).empty());
}

#ifdef _WIN32

TEST(OutputFileTest, ReadOnlyTargetIsRefusedAndKeptAttributesStay) {
    TempFolder folder;
    const std::filesystem::path target = folder / "x.wav";
    WriteBytes(target, {5});
    ASSERT_TRUE(SetFileAttributesW(target.wstring().c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Write(target), Kind::ReadOnlyTarget);
    SetFileAttributesW(target.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(target), Bytes{5});
    EXPECT_EQ(ListFolder(folder.Path()).size(), 1u);

    // The replaced file's attributes carry over to its replacement, where the system's
    // ReplaceFileW keeps them (Wine's does not).
    ASSERT_TRUE(SetFileAttributesW(target.wstring().c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_EQ(Write(target), Kind::None);
    EXPECT_EQ(ReadBytes(target), Riff({}));
    EXPECT_EQ(ListFolder(folder.Path()).size(), 1u);
    const bool underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    if (!underWine) {
        EXPECT_NE(GetFileAttributesW(target.wstring().c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    }
}

#else

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(lstat(path.c_str(), &status), 0);
    return status.st_mode & 07777;
}

TEST(OutputFileTest, LinksPlantedInTheOutputFolderAreNeverWrittenThrough) {
    TempFolder folder;
    const std::filesystem::path victim = folder / "victim";
    WriteBytes(victim, {9, 9});
    const struct {
        const char* what;
        void (*plant)(const std::filesystem::path& victim, const std::filesystem::path& at);
    } rows[] = {
        {"symbolic link", [](const auto& v, const auto& at) { std::filesystem::create_symlink(v, at); }},
        {"hard link", [](const auto& v, const auto& at) { std::filesystem::create_hard_link(v, at); }},
        {"dangling link",
         [](const auto& v, const auto& at) { std::filesystem::create_symlink(v.string() + ".new", at); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::filesystem::path planted = folder / "planted";
        row.plant(victim, planted);
        bool nameTaken = false;
        EXPECT_FALSE(fileservice::CreateNew(Utf16FromPath(planted).c_str(), false, nameTaken).IsOpen());
        EXPECT_TRUE(nameTaken);
        // The name the writer once used for every target.
        std::filesystem::rename(planted, folder / ("x.wav" + std::string(kTemporarySuffix)));
        EXPECT_EQ(Write(folder / "x.wav"), Kind::None);
        EXPECT_EQ(ReadBytes(victim), (Bytes{9, 9}));
        EXPECT_FALSE(std::filesystem::exists(victim.string() + ".new"));
        std::filesystem::remove(folder / ("x.wav" + std::string(kTemporarySuffix)));
        std::filesystem::remove(folder / "x.wav");
    }
    EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::filesystem::path>{"victim"});
}

TEST(OutputFileTest, ReplacementKeepsTheModeAndReadOnlyTargetsAreRefused) {
    TempFolder folder;
    const struct {
        mode_t mode;
        Kind refusal;
    } rows[] = {{0600, Kind::None},  {0640, Kind::None},  {0755, Kind::None},           {04755, Kind::None},
                {02750, Kind::None}, {01640, Kind::None}, {0444, Kind::ReadOnlyTarget}, {0400, Kind::ReadOnlyTarget}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        const std::filesystem::path target = folder / "x.wav";
        WriteBytes(target, {5});
        ASSERT_EQ(chmod(target.c_str(), row.mode), 0);
        EXPECT_EQ(Write(target), row.refusal);
        EXPECT_EQ(ReadBytes(target), row.refusal == Kind::None ? Riff({}) : Bytes{5});
        EXPECT_EQ(ModeOf(target), row.mode);
        EXPECT_EQ(ListFolder(folder.Path()).size(), 1u);
        std::filesystem::remove(target);
    }
}

// Others may not read a result before it has the permissions of the file it replaces.
TEST(OutputFileTest, TemporaryFileIsPrivateWhenItReplacesAFile) {
    TempFolder folder;
    const mode_t previousMask = umask(0);
    bool nameTaken = false;
    const FileHandle replacing = fileservice::CreateNew(Utf16FromPath(folder / "replacing").c_str(), true, nameTaken);
    const FileHandle created = fileservice::CreateNew(Utf16FromPath(folder / "new").c_str(), false, nameTaken);
    umask(previousMask);
    ASSERT_TRUE(replacing.IsOpen() && created.IsOpen());
    EXPECT_EQ(ModeOf(folder / "replacing"), 0600u);
    EXPECT_EQ(ModeOf(folder / "new"), 0666u);
}

// Only a regular file at the output path is replaced as one: a link is replaced itself, whatever it
// points to, and a folder is never taken for a read-only file.
TEST(OutputFileTest, TargetThatIsNoRegularFileIsNotJudgedAsOne) {
    const struct {
        const char* what;
        void (*make)(const std::filesystem::path& target, const std::filesystem::path& elsewhere);
        Kind refusal;
    } rows[] = {
        {"link to a read-only file",
         [](const auto& target, const auto& elsewhere) {
             WriteBytes(elsewhere, {3});
             chmod(elsewhere.c_str(), 0444);
             std::filesystem::create_symlink(elsewhere, target);
         },
         Kind::None},
        {"read-only folder",
         [](const auto& target, const auto&) {
             std::filesystem::create_directory(target);
             chmod(target.c_str(), 0555);
         },
         Kind::CannotWrite},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder folder;
        row.make(folder / "x.wav", folder / "elsewhere");
        EXPECT_EQ(Write(folder / "x.wav"), row.refusal);
        EXPECT_EQ(std::filesystem::is_regular_file(std::filesystem::symlink_status(folder / "x.wav")),
                  row.refusal == Kind::None);
        chmod((folder / "x.wav").c_str(), 0755);
    }
}

TEST(OutputFileTest, SymbolicLinkTargetIsReplacedByTheResult) {
    TempFolder folder;
    WriteBytes(folder / "elsewhere", {3});
    std::filesystem::create_symlink(folder / "elsewhere", folder / "x.wav");
    ASSERT_EQ(Write(folder / "x.wav"), Kind::None);
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "x.wav"));
    EXPECT_EQ(ReadBytes(folder / "x.wav"), Riff({}));
    EXPECT_EQ(ReadBytes(folder / "elsewhere"), Bytes{3});
}

TEST(OutputFileTest, OwnerIsKeptAndOthersFilesAreRefusedToUnprivilegedRuns) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "changing owners needs root";
    }
    TempFolder folder;
    // A shared folder, as /tmp is.
    ASSERT_EQ(chmod(folder.Path().c_str(), 01777), 0);
    if (!UnprivilegedUserReaches(folder.Path())) {
        GTEST_SKIP() << "the unprivileged user cannot reach " << folder.Path() << ": a folder above it is closed";
    }
    const std::filesystem::path theirs = folder / "theirs.wav";
    WriteBytes(theirs, {1});
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(theirs.c_str(), 0600), 0);
    // Root's run replaces another user's file and leaves it theirs.
    ASSERT_EQ(Write(theirs), Kind::None);
    struct stat status {};
    ASSERT_EQ(stat(theirs.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
    EXPECT_EQ(status.st_mode & 07777, 0600u);

    // An unprivileged run may not replace a file it could not open for writing, and says so.
    const std::filesystem::path roots = folder / "roots.wav";
    WriteBytes(roots, {2});
    ASSERT_EQ(chmod(roots.c_str(), 0644), 0);
    EXPECT_EQ(StatusAsUnprivilegedUser([&roots] { return Write(roots) == Kind::ReadOnlyTarget ? 0 : 1; }), 0);
    EXPECT_EQ(ReadBytes(roots), Bytes{2});
}

TEST(OutputFileTest, OnlyRegularFilesAreRead) {
    TempFolder folder;
    ASSERT_EQ(mkfifo((folder / "fifo.wav").c_str(), 0600), 0);
    std::filesystem::create_directory(folder / "folder.wav");
    const std::filesystem::path inputs[] = {folder / "fifo.wav", folder / "folder.wav", "/dev/zero"};
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.string());
        auto read = std::async(std::launch::async, [&input] {
            WaveFile wave;
            wave.Read(Utf16FromPath(input).c_str());
            return wave.refusal.kind;
        });
        if (read.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
            // Free the reader waiting for a writer, so that the test can end.
            close(open((folder / "fifo.wav").c_str(), O_WRONLY));
            ADD_FAILURE() << "the read waited";
        }
        EXPECT_EQ(read.get(), Kind::NotRegularFile);
    }
}

#endif

}  // namespace
