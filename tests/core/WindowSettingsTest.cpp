// The settings file's text: what the window writes comes back whole, and a file edited by hand or
// damaged gives back only the values it really holds.
#include "core/SmallFile.h"
#include "core/Utf16Path.h"
#include "core/WindowSettings.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>

namespace {

WindowSettings Changed() {
    WindowSettings settings;
    settings.outputFolder = Utf16FromUtf8("D:\\音声\\出力 2");
    settings.volume = {false, 50.12f, -6.0f};
    settings.head = {true, -60.0f, 0.5f};
    settings.tail = {false, -48.0f, 1.25f};
    return settings;
}

void ExpectSame(const StoredGroup& expected, const StoredGroup& actual) {
    EXPECT_EQ(expected.checked, actual.checked);
    EXPECT_EQ(expected.first, actual.first);
    EXPECT_EQ(expected.second, actual.second);
}

TEST(WindowSettings, ComeBackAsWritten) {
    const WindowSettings written = Changed();
    const WindowSettings read = ParseSettingsFile(SettingsFileText(written));
    EXPECT_EQ(written.outputFolder, read.outputFolder);
    ExpectSame(written.volume, read.volume);
    ExpectSame(written.head, read.head);
    ExpectSame(written.tail, read.tail);
}

TEST(WindowSettings, FileIsUtf8WithAByteOrderMarkAndCrLfLines) {
    const std::string text = SettingsFileText(Changed());
    EXPECT_EQ(0u, text.rfind("\xEF\xBB\xBF[Palvotrix]\r\n", 0));
    EXPECT_NE(std::string::npos, text.find("\r\nOutputFolder=D:\\\xE9\x9F\xB3\xE5\xA3\xB0\\"));
    EXPECT_NE(std::string::npos, text.find("\r\nVolumePercent=50.12\r\nVolumeDb=-6.00\r\n"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));
}

TEST(WindowSettings, ReadsFilesEditedByHand) {
    // Lines ended by LF alone, no section, no byte-order mark.
    const WindowSettings read = ParseSettingsFile("OutputFolder=C:\\out\nHeadTrim=0\nHeadMarginSec=2.5\n");
    EXPECT_EQ(Utf16FromUtf8("C:\\out"), read.outputFolder);
    EXPECT_EQ(false, read.head.checked);
    EXPECT_EQ(2.5f, read.head.second);
    // Saved by Notepad as UTF-8: the mark, then the first line.
    EXPECT_EQ(150.0f, ParseSettingsFile("\xEF\xBB\xBFVolumePercent=150\r\n").volume.first);
}

TEST(WindowSettings, ValuesThatCannotBeReadStayEmpty) {
    const char* const lines[] = {
        "VolumeChange=yes",
        "VolumeChange=2",
        "VolumeChange=",
        "VolumePercent=",
        "VolumePercent=abc",
        "VolumePercent=nan",
        "VolumePercent=inf",
        "VolumePercent=1.5.2",
        "VolumePercent=0x10",
        "VolumePercent= 100",
        "VolumePercent=100 %",
        "volumepercent=150",
        "VolumePercent",
        // A folder saved in Shift JIS, not UTF-8.
        "OutputFolder=D:\\\x89\xB9\x90\xBA",
        // UTF-16 text.
        "\xFF\xFEV\0o\0l\0",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        const WindowSettings read = ParseSettingsFile(line);
        EXPECT_FALSE(read.volume.checked.has_value());
        EXPECT_FALSE(read.volume.first.has_value());
        EXPECT_FALSE(read.outputFolder.has_value());
    }
}

TEST(WindowSettings, NumbersOutOfRangeAreKeptForTheBoxesToClamp) {
    const WindowSettings read =
        ParseSettingsFile("VolumePercent=5000\r\nHeadThresholdDb=-200\r\nTailMarginSec=1e39\r\n");
    EXPECT_EQ(5000.0f, read.volume.first);
    EXPECT_EQ(-200.0f, read.head.first);
    EXPECT_EQ(FLT_MAX, read.tail.second);
}

TEST(SmallFile, ReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    TempFolder folder;
    const Utf16String path = Utf16FromPath(folder / "palvotrix.ini");
    WriteBytes(folder / "palvotrix.ini", BytesOf("old"));
    ASSERT_TRUE(ReplaceSmallFile(path.c_str(), "new contents"));
    std::string read;
    ASSERT_TRUE(ReadSmallFile(path.c_str(), 64, read));
    EXPECT_EQ("new contents", read);
    EXPECT_EQ(1u, ListFolder(folder.Path()).size());
}

TEST(SmallFile, FailedReplaceLeavesWhatWasThereAndNoTemporaryFile) {
    TempFolder folder;
    // A folder in the file's place cannot be replaced by a file, whoever runs the test.
    const auto path = folder.MakeFolder("palvotrix.ini");
    WriteBytes(path / "inside", BytesOf("kept"));
    EXPECT_FALSE(ReplaceSmallFile(Utf16FromPath(path).c_str(), "new"));
    EXPECT_EQ(BytesOf("kept"), ReadBytes(path / "inside"));
    EXPECT_EQ(1u, ListFolder(folder.Path()).size());
}

TEST(SmallFile, ReadRefusesAMissingFileAFolderAndAFileOverTheLimit) {
    TempFolder folder;
    WriteBytes(folder / "five", BytesOf("12345"));
    std::string read;
    EXPECT_TRUE(ReadSmallFile(Utf16FromPath(folder / "five").c_str(), 5, read));
    EXPECT_EQ("12345", read);
    EXPECT_FALSE(ReadSmallFile(Utf16FromPath(folder / "five").c_str(), 4, read));
    EXPECT_FALSE(ReadSmallFile(Utf16FromPath(folder / "missing").c_str(), 64, read));
    EXPECT_FALSE(ReadSmallFile(Utf16FromPath(folder.MakeFolder("dir")).c_str(), 64, read));
}

}  // namespace
