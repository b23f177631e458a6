// The routes from window messages to control objects, driven through real windows: commands by
// childId, scroll clicks by window, and file drops onto the list.
#include "controls/MessageRouting.h"

#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/GroupInfo.h"
#include "controls/ListboxInfo.h"
#include "ControlTestHelpers.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// A push button that keeps every OnCommand it receives, so a test can see where a route ends.
class RecordingButton : public ControlItem {
public:
    explicit RecordingButton(HWND parent) : ControlItem(parent, ControlKind::Button) {}

    void Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) override {
        controlId = id;
        CreateControlWindow(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE, x, y, width, height);
    }

    int OnCommand(int32_t code, WPARAM wParam, LPARAM lParam) override {
        calls.push_back({code, wParam, lParam});
        return 0;
    }

    struct Call {
        int32_t code;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Call> calls;
};

std::shared_ptr<RecordingButton> MakeRecorder(HWND parent, int32_t id) {
    auto button = std::make_shared<RecordingButton>(parent);
    button->Create(id, 10, 20, 60, 24, L"rec");
    return Registered(button);
}

class MessageRoutingTest : public ::testing::Test {
protected:
    TestWindow mainWindow;
    RegistryScope scope;
};

TEST_F(MessageRoutingTest, CommandGoesToTheControlWhoseChildIdMatchesNotItsControlId) {
    auto first = MakeRecorder(nullptr, 1);
    auto second = MakeRecorder(nullptr, 2);
    // The second control's controlId is the first one's childId: the route must not pick it.
    second->controlId = first->childId;

    const WPARAM wParam = MAKEWPARAM(first->childId, BN_CLICKED);
    const LPARAM lParam = reinterpret_cast<LPARAM>(first->GetHandle());
    EXPECT_EQ(0, SendMessageW(mainWindow.Handle(), WM_COMMAND, wParam, lParam));

    ASSERT_EQ(1u, first->calls.size());
    EXPECT_EQ(BN_CLICKED, first->calls[0].code);
    EXPECT_EQ(wParam, first->calls[0].wParam);
    EXPECT_EQ(lParam, first->calls[0].lParam);
    EXPECT_TRUE(second->calls.empty());
}

TEST_F(MessageRoutingTest, CommandWithNoMatchingControlIsSwallowed) {
    auto recorder = MakeRecorder(nullptr, 1);
    const int32_t unused = childIdCounter + 100 + 50;
    EXPECT_EQ(0, SendMessageW(mainWindow.Handle(), WM_COMMAND, MAKEWPARAM(unused, BN_CLICKED), 0));
    EXPECT_TRUE(recorder->calls.empty());
}

TEST_F(MessageRoutingTest, ClickInsideAGroupBoxReachesItsControlThroughTheMainWindowProcedure) {
    auto group = AddGroup(ControlId::FileListGroup);
    auto recorder = MakeRecorder(group->GetHandle(), 2);

    SendMessageW(recorder->GetHandle(), BM_CLICK, 0, 0);

    ASSERT_EQ(1u, recorder->calls.size());
    EXPECT_EQ(BN_CLICKED, recorder->calls[0].code);
    EXPECT_EQ(recorder->childId, LOWORD(recorder->calls[0].wParam));
    EXPECT_EQ(reinterpret_cast<LPARAM>(recorder->GetHandle()), recorder->calls[0].lParam);
}

TEST_F(MessageRoutingTest, ScrollAtAGroupBoxGoesToTheControlOfTheSendingWindow) {
    auto group = AddGroup(ControlId::FileListGroup);
    auto other = MakeRecorder(group->GetHandle(), 2);
    auto sender = MakeRecorder(group->GetHandle(), 3);

    const LPARAM lParam = reinterpret_cast<LPARAM>(sender->GetHandle());
    EXPECT_EQ(0, SendMessageW(group->GetHandle(), WM_VSCROLL, SB_LINEUP, lParam));
    EXPECT_EQ(0, SendMessageW(group->GetHandle(), WM_VSCROLL, SB_LINEDOWN, 0));

    ASSERT_EQ(1u, sender->calls.size());
    EXPECT_EQ(277, sender->calls[0].code);
    EXPECT_EQ(static_cast<WPARAM>(SB_LINEUP), sender->calls[0].wParam);
    EXPECT_EQ(lParam, sender->calls[0].lParam);
    EXPECT_TRUE(other->calls.empty());
}

// A DROPFILES block as the shell hands it over: the header, then the names, each terminated, and
// an empty name at the end.
HGLOBAL MakeDrop(const std::vector<std::wstring>& names) {
    size_t units = 1;
    for (const auto& name : names) {
        units += name.size() + 1;
    }
    const size_t bytes = sizeof(DROPFILES) + units * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(header + 1);
    for (const auto& name : names) {
        std::memcpy(text, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        text += name.size() + 1;
    }
    GlobalUnlock(block);
    return block;
}

std::vector<std::wstring> Listed(const ListboxInfo& list) {
    std::vector<std::wstring> items;
    for (int32_t index = 0; index < list.GetCount(); ++index) {
        items.emplace_back(list.GetItem(index));
    }
    return items;
}

class FileDropTest : public MessageRoutingTest {
protected:
    void SetUp() override {
        group = AddGroup(ControlId::FileListGroup);
        list = std::make_shared<ListboxInfo>(group->GetHandle());
        list->CreateUntitled(ControlId::FileList, 5, 20, 320, 200);
        Registered(list);
    }

    void Drop(const std::vector<std::wstring>& names) {
        EXPECT_EQ(0, SendMessageW(group->GetHandle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(names)), 0));
    }

    std::shared_ptr<GroupInfo> group;
    std::shared_ptr<ListboxInfo> list;
};

TEST_F(FileDropTest, AddsWaveNamesInDropOrderAndSkipsTheRest) {
    Drop({L"C:\\in\\a.WAV", L"C:\\in\\c.txt", L"C:\\in\\b.wave", L"C:\\in\\d.wa", L"C:\\in\\C.Wav",
          L"C:\\in\\e.wav.txt", L"C:\\in\\noextension", L"C:\\in\\f.wav", L"C:\\in\\x.wavs\\plain"});

    const std::vector<std::wstring> expected = {L"C:\\in\\a.WAV", L"C:\\in\\b.wave", L"C:\\in\\C.Wav", L"C:\\in\\f.wav",
                                                L"C:\\in\\x.wavs\\plain"};
    EXPECT_EQ(expected, Listed(*list));
    EXPECT_EQ(5, SendMessageW(list->GetHandle(), LB_GETCOUNT, 0, 0));
}

TEST_F(FileDropTest, NameThatDoesNotFitTheBufferIsSkippedNotCut) {
    // A folder whose name ends in ".wav" fills the buffer's 511 units, so the cut name would pass as
    // a wave file and name that folder.
    const std::wstring cut = L"C:\\" + std::wstring(511 - 7, L'n') + L".wav";
    ASSERT_EQ(511u, cut.size());
    Drop({cut + L"\\a.wav", L"C:\\in\\kept.wav"});
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\in\\kept.wav"}, Listed(*list));
}

TEST_F(FileDropTest, NameOfExactly511UnitsIsAdded) {
    const std::wstring name = L"C:\\" + std::wstring(511 - 7, L'n') + L".wav";
    ASSERT_EQ(511u, name.size());
    Drop({name});
    EXPECT_EQ(std::vector<std::wstring>{name}, Listed(*list));
}

TEST_F(FileDropTest, DropWithoutARegisteredFileListAddsNothing) {
    list->controlId = 99;
    Drop({L"C:\\in\\a.wav"});
    EXPECT_EQ(0, list->GetCount());
}

TEST(WaveFileName, LooksOnlyAtTheThreeUnitsAfterTheLastDot) {
    struct Case {
        const wchar_t* name;
        bool accepted;
    };
    const Case cases[] = {
        {L"a.wav", true}, {L"a.WaVe", true},     {L".wav", true}, {L"a.b.wav", true}, {L"a.", false},
        {L"a.wa", false}, {L"a.wav.txt", false}, {L"wav", false}, {L"", false},       {L"a.w\u00e1v", false},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(test.accepted, IsWaveFileName(test.name)) << test.name;
    }
}

}  // namespace
