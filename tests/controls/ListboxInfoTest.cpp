// The input-file list: the list box and the stored paths stay in step through every change, the
// remembered selection drives deletion, and the horizontal extent follows the widest path.
#include "controls/ListboxInfo.h"

#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "controls/GroupInfo.h"
#include "controls/ScopedWin.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class ListboxInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        group = std::make_shared<GroupInfo>();
        group->Create(ControlId::FileListGroup, 5, 5, 330, 260, L"files");
        ControlRegistry::Instance().Register(group);
        list = std::make_shared<ListboxInfo>(group->GetHandle());
        list->CreateUntitled(ControlId::FileList, 5, 20, 320, 200);
        ControlRegistry::Instance().Register(list);
    }

    void AddNumbered(int count) {
        for (int index = 0; index < count; ++index) {
            list->AddFile((L"C:\\in\\" + std::to_wstring(index) + L".wav").c_str());
        }
    }

    // Selects entries in the list box and lets it report the change the way a click does.
    void Select(const std::vector<int>& indices) {
        SendMessageW(list->GetHandle(), LB_SETSEL, FALSE, -1);
        for (int index : indices) {
            SendMessageW(list->GetHandle(), LB_SETSEL, TRUE, index);
        }
        Notify(LBN_SELCHANGE);
    }

    void Notify(WORD code) {
        SendMessageW(group->GetHandle(), WM_COMMAND, MAKEWPARAM(list->childId, code),
                     reinterpret_cast<LPARAM>(list->GetHandle()));
    }

    // The entries as stored, after checking that the list box shows the same ones in the same order.
    std::vector<std::wstring> Entries() {
        std::vector<std::wstring> stored;
        EXPECT_EQ(list->GetCount(), SendMessageW(list->GetHandle(), LB_GETCOUNT, 0, 0));
        for (int32_t index = 0; index < list->GetCount(); ++index) {
            wchar_t shown[600] = {};
            SendMessageW(list->GetHandle(), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(shown));
            EXPECT_STREQ(list->GetItem(index), shown);
            stored.emplace_back(list->GetItem(index));
        }
        return stored;
    }

    LRESULT Extent() const { return SendMessageW(list->GetHandle(), LB_GETHORIZONTALEXTENT, 0, 0); }

    LONG ClientWidth() const {
        RECT client = {};
        GetClientRect(list->GetHandle(), &client);
        return client.right;
    }

    LONG TextWidth(const std::wstring& text) const {
        WindowDC dc(list->GetHandle());
        ScopedSelectObject font(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(list->GetHandle(), WM_GETFONT, 0, 0)));
        SIZE size = {};
        GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

    TestWindow mainWindow;
    RegistryScope registryScope;
    std::shared_ptr<GroupInfo> group;
    std::shared_ptr<ListboxInfo> list;
};

TEST_F(ListboxInfoTest, CreatesAFileAcceptingMultiSelectListBoxWithItsOwnFont) {
    wchar_t className[32] = {};
    GetClassNameW(list->GetHandle(), className, 32);
    EXPECT_STREQ(L"ListBox", className);
    // The list box itself drops WS_VSCROLL while all entries fit.
    EXPECT_EQ(0x50A10801, GetWindowLongPtrW(list->GetHandle(), GWL_STYLE) | WS_VSCROLL);
    EXPECT_TRUE(GetWindowLongPtrW(list->GetHandle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(group->GetHandle(), GetParent(list->GetHandle()));
    EXPECT_EQ(list->childId, GetDlgCtrlID(list->GetHandle()));
    EXPECT_EQ(ControlId::FileList, list->controlId);
    EXPECT_EQ(ControlKind::Listbox, list->kind);
    ASSERT_NE(nullptr, list->font.get());
    EXPECT_EQ(reinterpret_cast<LRESULT>(list->font.get()), SendMessageW(list->GetHandle(), WM_GETFONT, 0, 0));
}

TEST_F(ListboxInfoTest, CreateWithACaptionOnlyStoresTheId) {
    ListboxInfo other(group->GetHandle());
    other.Create(7, 0, 0, 10, 10, L"ignored");
    EXPECT_EQ(7, other.controlId);
    EXPECT_EQ(nullptr, other.GetHandle());
}

TEST_F(ListboxInfoTest, KeepsDuplicatesInInsertionOrder) {
    list->AddFile(L"C:\\in\\z.wav");
    list->AddFile(L"C:\\in\\a.wav");
    list->AddFile(L"C:\\in\\z.wav");
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\in\\z.wav", L"C:\\in\\a.wav", L"C:\\in\\z.wav"}), Entries());
}

TEST_F(ListboxInfoTest, DeleteAtRemovesOneEntryAndIgnoresIndicesOutOfRange) {
    AddNumbered(3);
    for (int32_t outside : {-1, 3, 1000}) {
        list->DeleteAt(outside);
    }
    EXPECT_EQ(3, list->GetCount());

    list->DeleteAt(1);
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\in\\0.wav", L"C:\\in\\2.wav"}), Entries());
}

TEST_F(ListboxInfoTest, DeleteSelectedRemovesTheRememberedEntriesOnce) {
    AddNumbered(6);
    Select({1, 3, 4});
    EXPECT_EQ((std::vector<int32_t>{1, 3, 4}), list->selection);

    list->DeleteSelected();
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\in\\0.wav", L"C:\\in\\2.wav", L"C:\\in\\5.wav"}), Entries());
    EXPECT_TRUE(list->selection.empty());

    // Pressing delete again without a new selection must not remove what now stands at 1, 3, 4.
    list->DeleteSelected();
    EXPECT_EQ(3, list->GetCount());
}

TEST_F(ListboxInfoTest, DeleteSelectedWithNothingSelectedStillSetsTheExtent) {
    AddNumbered(2);
    SendMessageW(list->GetHandle(), LB_SETHORIZONTALEXTENT, 5000, 0);
    list->DeleteSelected();
    EXPECT_EQ(2, list->GetCount());
    EXPECT_EQ(ClientWidth(), Extent());
}

TEST_F(ListboxInfoTest, NotificationsOtherThanSelectionChangeKeepTheSelection) {
    AddNumbered(4);
    Select({2});
    SendMessageW(list->GetHandle(), LB_SETSEL, TRUE, 3);
    Notify(LBN_DBLCLK);
    EXPECT_EQ(std::vector<int32_t>{2}, list->selection);
}

TEST_F(ListboxInfoTest, ClearEmptiesTheListAndForgetsTheSelection) {
    AddNumbered(4);
    Select({0, 2});
    list->Clear();
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(list->selection.empty());
    EXPECT_EQ(ClientWidth(), Extent());

    list->Clear();
    EXPECT_EQ(0, list->GetCount());
    EXPECT_EQ(ClientWidth(), Extent());
}

TEST_F(ListboxInfoTest, ExtentIsTheClientWidthOrTheWidestPathWithBorders) {
    list->AddFile(L"C:\\a.wav");
    EXPECT_EQ(ClientWidth(), Extent());

    const std::wstring wide = L"C:\\" + std::wstring(120, L'W') + L".wav";
    list->AddFile(wide.c_str());
    const LONG wideWidth = TextWidth(wide);
    ASSERT_GT(wideWidth, ClientWidth());
    EXPECT_EQ(wideWidth + 3 * GetSystemMetrics(SM_CXBORDER), Extent());

    list->DeleteAt(1);
    EXPECT_EQ(ClientWidth(), Extent());
}

TEST_F(ListboxInfoTest, RemembersAtMost256SelectedEntries) {
    AddNumbered(300);
    SendMessageW(list->GetHandle(), LB_SETSEL, TRUE, -1);
    Notify(LBN_SELCHANGE);
    ASSERT_EQ(256u, list->selection.size());
    for (int32_t index = 0; index < 256; ++index) {
        ASSERT_EQ(index, list->selection[static_cast<size_t>(index)]);
    }
}

}  // namespace
