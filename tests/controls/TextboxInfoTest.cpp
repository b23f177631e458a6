// Reading a line back from an edit control never writes past the caller's 512-unit buffer.
#include "controls/TextboxInfo.h"

#include "controls/ControlIds.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

class TextboxInfoTest : public ::testing::Test {
protected:
    TextboxInfoTest() { box->Create(ControlId::OutputFolder, 5, 20, 290, 24, L""); }

    TestWindow mainWindow;
    std::shared_ptr<TextboxInfo> box = std::make_shared<TextboxInfo>(mainWindow.Handle());
};

TEST_F(TextboxInfoTest, ReadsLinesOfEveryLengthWithinTheBuffer) {
    struct Row {
        size_t length;
        int expectedCount;
    };
    const Row rows[] = {{0, 0}, {5, 5}, {510, 510}, {511, 511}, {512, 511}, {2000, 511}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        const std::wstring line(row.length, L'q');
        box->SetText(line.c_str());
        // One unit past the 512-unit buffer, where a terminator after a full read would land.
        std::array<wchar_t, 513> buffer;
        buffer.fill(L'#');

        const int count = ReadEditLine(box->GetHandle(), buffer.data());

        EXPECT_EQ(count, row.expectedCount);
        EXPECT_EQ(std::wstring(buffer.data()).size(), static_cast<size_t>(row.expectedCount));
        EXPECT_EQ(buffer[512], L'#');
    }
}

}  // namespace
