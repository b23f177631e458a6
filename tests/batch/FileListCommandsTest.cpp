// The delete and delete-all buttons, clicked through the program's window.
#include "batch/FileListCommands.h"

#include "RunFixture.h"
#include "controls/ListboxInfo.h"

#include <gtest/gtest.h>

namespace {

int32_t ShownEntries() {
    return static_cast<int32_t>(SendMessageW(ControlById(100).GetHandle(), LB_GETCOUNT, 0, 0));
}

TEST(FileListCommands, DeleteAndDeleteAllLeaveAnEmptyListEmpty) {
    ListFiles({});
    const std::wstring log = BoxText(108);

    Click(102);
    Click(103);

    EXPECT_EQ(Control<ListboxInfo>(100).GetCount(), 0);
    EXPECT_EQ(ShownEntries(), 0);
    EXPECT_EQ(BoxText(108), log);
}

TEST(FileListCommands, DeleteAllEmptiesTheListAndItsWindow) {
    ListFiles({L"C:\\in\\a.wav", L"C:\\in\\b.wav"});

    Click(103);

    EXPECT_EQ(Control<ListboxInfo>(100).GetCount(), 0);
    EXPECT_EQ(ShownEntries(), 0);
}

}  // namespace
