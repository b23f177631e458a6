// The group box's own answers: WM_INITDIALOG, the messages it leaves to the button procedure, and
// the colour questions of the controls on its face, asked the way the system asks them.
#include "controls/GroupWindowProc.h"

#include "controls/ButtonInfo.h"
#include "controls/CheckboxInfo.h"
#include "controls/ControlIds.h"
#include "controls/LabelInfo.h"
#include "ControlTestHelpers.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class GroupWindowProcTest : public ::testing::Test {
protected:
    TestWindow mainWindow;
    RegistryScope scope;
};

TEST_F(GroupWindowProcTest, GroupBoxAndMainWindowAnswerInitDialogWithOne) {
    auto group = AddGroup(ControlId::FileListGroup);
    EXPECT_EQ(1, SendMessageW(group->GetHandle(), WM_INITDIALOG, 0, 0));
    EXPECT_EQ(1, SendMessageW(mainWindow.Handle(), WM_INITDIALOG, 0, 0));
}

TEST_F(GroupWindowProcTest, GroupBoxPassesOtherMessagesToTheButtonProcedure) {
    auto group = AddGroup(ControlId::FileListGroup);
    SendMessageW(group->GetHandle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"renamed"));
    wchar_t text[32] = {};
    EXPECT_EQ(7, SendMessageW(group->GetHandle(), WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text)));
    EXPECT_STREQ(L"renamed", text);
}

struct ColorCase {
    const char* name;
    ControlKind kind;
    UINT message;
    bool transparent;
};

const ColorCase kColorCases[] = {
    {"label static", ControlKind::Label, WM_CTLCOLORSTATIC, true},
    // The system never asks so for a check box; the answer is kept for a check box that would.
    {"checkbox asked as a push button", ControlKind::Checkbox, WM_CTLCOLORBTN, true},
    {"checkbox static", ControlKind::Checkbox, WM_CTLCOLORSTATIC, false},
    {"label button", ControlKind::Label, WM_CTLCOLORBTN, false},
    {"push button", ControlKind::Button, WM_CTLCOLORBTN, false},
    {"push button static", ControlKind::Button, WM_CTLCOLORSTATIC, false},
};

std::shared_ptr<ControlItem> MakeColored(ControlKind kind, HWND parent) {
    std::shared_ptr<ControlItem> control;
    if (kind == ControlKind::Label) {
        control = std::make_shared<LabelInfo>(parent);
    } else if (kind == ControlKind::Checkbox) {
        control = std::make_shared<CheckboxInfo>(parent);
    } else {
        control = std::make_shared<ButtonInfo>(parent);
    }
    control->Create(2, 10, 20, 80, 24, L"colour");
    return Registered(control);
}

TEST_F(GroupWindowProcTest, ColorAnswersByMessageAndKind) {
    auto group = AddGroup(ControlId::FileListGroup);
    const WindowDC groupDc(group->GetHandle());
    HDC dc = groupDc.Get();
    for (const ColorCase& test : kColorCases) {
        SCOPED_TRACE(test.name);
        auto control = MakeColored(test.kind, group->GetHandle());
        const COLORREF marker = RGB(1, 2, 3);
        SetBkColor(dc, marker);

        const LRESULT answer = SendMessageW(group->GetHandle(), test.message, reinterpret_cast<WPARAM>(dc),
                                            reinterpret_cast<LPARAM>(control->GetHandle()));

        if (test.transparent) {
            EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)), answer);
            EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetBkColor(dc));
        } else {
            EXPECT_EQ(0, answer);
            EXPECT_EQ(marker, GetBkColor(dc));
        }
    }
}

// What each control on the face really asks when it paints, and what it gets: check boxes ask with
// WM_CTLCOLORSTATIC, like labels, yet keep the system's brush.
struct AskedColor {
    UINT message;
    LRESULT answer;
};

std::vector<AskedColor>* askedColors = nullptr;

LRESULT CALLBACK RecordColorQuestions(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT answer = CallWindowProcW(GroupWindowProc, window, message, wParam, lParam);
    if (askedColors != nullptr && (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN)) {
        askedColors->push_back({message, answer});
    }
    return answer;
}

TEST_F(GroupWindowProcTest, PaintingControlsAskTheirColorAndOnlyLabelsGetTheNullBrush) {
    struct Case {
        const char* name;
        ControlKind kind;
        UINT asked;
        bool transparent;
    };
    const Case cases[] = {
        {"label", ControlKind::Label, WM_CTLCOLORSTATIC, true},
        {"check box", ControlKind::Checkbox, WM_CTLCOLORSTATIC, false},
        {"push button", ControlKind::Button, WM_CTLCOLORBTN, false},
    };
    auto group = AddGroup(ControlId::FileListGroup);
    SetWindowLongPtrW(group->GetHandle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordColorQuestions));
    const WindowDC dc(group->GetHandle());
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        auto control = MakeColored(test.kind, group->GetHandle());
        std::vector<AskedColor> asked;
        askedColors = &asked;
        SendMessageW(control->GetHandle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
        askedColors = nullptr;

        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(test.asked, asked[0].message);
        const LRESULT nullBrush = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        EXPECT_EQ(test.transparent, asked[0].answer == nullBrush);
    }
}

}  // namespace
