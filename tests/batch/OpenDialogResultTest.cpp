// The open dialog's result, as the add command turns it into full paths.
#include "batch/FileListCommands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

struct ResultCase {
    const char* what;
    std::wstring buffer;  // what the dialog leaves in its buffer, terminators included
    std::vector<std::wstring> paths;
};

// A name that makes folder + "\" + name exactly `length` units long.
std::wstring NameForJoinedLength(const std::wstring& folder, size_t length) {
    return std::wstring(length - folder.size() - 1 - 4, L'n') + L".wav";
}

const std::wstring kLongFolder = L"C:\\" + std::wstring(400, L'f');

class OpenDialogResult : public testing::TestWithParam<ResultCase> {};

TEST_P(OpenDialogResult, GivesThePathsInTheDialogsOrder) {
    const ResultCase& c = GetParam();
    std::wstring buffer = c.buffer;
    buffer.resize(buffer.size() + 8, L'\0');
    EXPECT_EQ(ParseOpenDialogResult(buffer.data(), buffer.size()), c.paths) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, OpenDialogResult,
    testing::Values(ResultCase{"one file: the full path unchanged", L"C:\\音声\\a.wav\0\0"s, {L"C:\\音声\\a.wav"}},
                    ResultCase{"three files: folder, backslash, name",
                               L"C:\\in\0b.wav\0a.wav\0c.wav\0\0"s,
                               {L"C:\\in\\b.wav", L"C:\\in\\a.wav", L"C:\\in\\c.wav"}},
                    ResultCase{"a drive's root folder doubles its backslash",
                               L"D:\\\0x.wav\0y.wav\0\0"s,
                               {L"D:\\\\x.wav", L"D:\\\\y.wav"}},
                    ResultCase{
                        "a joined path of 511 units fits, one of 512 is skipped",
                        kLongFolder + L"\0"s + NameForJoinedLength(kLongFolder, 512) + L"\0"s +
                            NameForJoinedLength(kLongFolder, 511) + L"\0short.wav\0\0"s,
                        {kLongFolder + L"\\" + NameForJoinedLength(kLongFolder, 511), kLongFolder + L"\\short.wav"}},
                    ResultCase{"one file of 512 units is skipped", std::wstring(512, L'p') + L"\0\0"s, {}},
                    ResultCase{"an empty result gives nothing", L"\0\0"s, {}}));

TEST(OpenDialogResultBounds, ReadsNothingBeyondTheBuffer) {
    // The last name has no terminator inside the buffer: it is not taken.
    const std::wstring buffer = L"C:\\in\0a.wav\0b.w"s;
    EXPECT_EQ(ParseOpenDialogResult(buffer.data(), buffer.size()), std::vector<std::wstring>{L"C:\\in\\a.wav"});
    // No terminator at all.
    const std::wstring unterminated = L"C:\\in\\a.wav";
    EXPECT_TRUE(ParseOpenDialogResult(unterminated.data(), unterminated.size()).empty());
}

}  // namespace
