// The push buttons: a click of a registered button runs the command of its controlId.
#include "controls/ButtonInfo.h"

#include "ControlTestHelpers.h"
#include "controls/ControlIds.h"
#include "controls/ListboxInfo.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

namespace {

class ButtonInfoTest : public ::testing::Test {
protected:
    std::shared_ptr<ButtonInfo> MakeButton(int32_t id) {
        auto button = std::make_shared<ButtonInfo>();
        button->Create(id, 265, 330, 60, 40, L"button");
        return button;
    }

    TestWindow mainWindow;
    RegistryScope registryScope;
    SettingsScope settingsScope;
};

TEST_F(ButtonInfoTest, OnlyAClickOfARegisteredStopButtonStopsTheRun) {
    struct Row {
        const char* name;
        int32_t controlId;
        bool registered;
        int32_t code;
        bool stops;
    };
    const Row rows[] = {
        {"click", ControlId::Stop, true, BN_CLICKED, true},
        {"not registered", ControlId::Stop, false, BN_CLICKED, false},
        {"double click", ControlId::Stop, true, BN_DOUBLECLICKED, false},
        {"identifier of no command", 107, true, BN_CLICKED, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ProcessingSettings::Instance().cancelRequested = false;
        auto button = MakeButton(row.controlId);
        if (row.registered) {
            Registered(button);
        }

        EXPECT_EQ(button->OnCommand(row.code, MAKEWPARAM(button->childId, row.code),
                                    reinterpret_cast<LPARAM>(button->GetHandle())),
                  0);

        EXPECT_EQ(ProcessingSettings::Instance().cancelRequested.load(), row.stops);
    }
}

TEST_F(ButtonInfoTest, ClickingDeleteAllEmptiesTheFileList) {
    auto list = std::make_shared<ListboxInfo>(mainWindow.Handle());
    list->CreateUntitled(ControlId::FileList, 5, 20, 320, 200);
    Registered(list);
    list->AddFile(L"C:\\a.wav");
    list->AddFile(L"C:\\b.wav");
    auto deleteAll = Registered(MakeButton(ControlId::DeleteAllButton));

    SendMessageW(deleteAll->GetHandle(), BM_CLICK, 0, 0);

    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(SendMessageW(list->GetHandle(), LB_GETCOUNT, 0, 0), 0);
}

}  // namespace
