// The control base and the registry: identifiers, parents, fonts, first-match look-ups and the
// paint pass; and the records kept by labels and group boxes.
#include "controls/ControlItem.h"

#include "controls/ControlRegistry.h"
#include "controls/GroupInfo.h"
#include "controls/LabelInfo.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class PaintProbe : public ControlItem {
public:
    explicit PaintProbe(bool wantsPaint) : ControlItem(nullptr, ControlKind::Label), wants(wantsPaint) {}
    bool WantsPaint() const override { return wants; }
    void Paint() override { ++paints; }

    bool wants;
    int paints = 0;
};

class ControlItemTest : public ::testing::Test {
protected:
    TestWindow mainWindow;
    RegistryScope registryScope;
};

TEST_F(ControlItemTest, ChildIdsFollowConstructionOrderAcrossClasses) {
    const int32_t next = 100 + childIdCounter;
    GroupInfo group;
    LabelInfo label(nullptr);
    EXPECT_EQ(next, group.childId);
    EXPECT_EQ(next + 1, label.childId);
    EXPECT_EQ(ControlKind::Group, group.kind);
    EXPECT_EQ(ControlKind::Label, label.kind);
}

TEST_F(ControlItemTest, ParentIsTheGivenWindowOrElseTheMainWindow) {
    LabelInfo inMain(nullptr);
    EXPECT_EQ(mainWindow.Handle(), inMain.GetParentHandle());
    LabelInfo inOther(mainWindow.Handle());
    inOther.Create(5, 0, 0, 10, 10, L"x");
    LabelInfo inLabel(inOther.GetHandle());
    EXPECT_EQ(inOther.GetHandle(), inLabel.GetParentHandle());

    MainWindow* record = currentMainWindow;
    currentMainWindow = nullptr;
    EXPECT_EQ(nullptr, inMain.GetParentHandle());
    currentMainWindow = record;
}

TEST_F(ControlItemTest, CreateReplacesAFontSetBeforeTheWindowExisted) {
    LabelInfo label(mainWindow.Handle());
    label.SetFont(30, 700);
    HFONT early = label.font.get();
    ASSERT_NE(nullptr, early);

    label.Create(5, 0, 0, 60, 24, L"label");
    EXPECT_NE(early, label.font.get());
    EXPECT_EQ(0u, GetObjectType(early));
    LOGFONTW description = {};
    GetObjectW(label.font.get(), sizeof(description), &description);
    EXPECT_EQ(12, description.lfHeight);
    EXPECT_EQ(400, description.lfWeight);
    EXPECT_EQ(reinterpret_cast<LRESULT>(label.font.get()), SendMessageW(label.GetHandle(), WM_GETFONT, 0, 0));
}

TEST_F(ControlItemTest, LookUpsReturnTheFirstRegisteredMatch) {
    auto first = std::make_shared<LabelInfo>(mainWindow.Handle());
    auto second = std::make_shared<LabelInfo>(mainWindow.Handle());
    first->Create(42, 0, 0, 10, 10, L"first");
    second->Create(42, 0, 0, 10, 10, L"second");
    auto& registry = ControlRegistry::Instance();
    EXPECT_TRUE(registry.Register(first));
    EXPECT_TRUE(registry.Register(second));

    EXPECT_EQ(first.get(), registry.FindByControlId(42));
    EXPECT_EQ(&registry, second->registry);
    EXPECT_EQ(second.get(), registry.FindByWindow(second->GetHandle()));
    EXPECT_EQ(second.get(), registry.FindByChildId(second->childId));
    EXPECT_EQ(nullptr, registry.Find<GroupInfo>(42));
}

TEST_F(ControlItemTest, PaintPassPaintsOnlyControlsThatAskForIt) {
    auto painted = std::make_shared<PaintProbe>(true);
    auto skipped = std::make_shared<PaintProbe>(false);
    ControlRegistry::Instance().Register(painted);
    ControlRegistry::Instance().Register(skipped);

    InvalidateRect(mainWindow.Handle(), nullptr, FALSE);
    SendMessageW(mainWindow.Handle(), WM_PAINT, 0, 0);

    EXPECT_EQ(1, painted->paints);
    EXPECT_EQ(0, skipped->paints);
}

TEST_F(ControlItemTest, LabelAndGroupKeepTheirGeometryAndTheLabelItsCaption) {
    GroupInfo group;
    group.Create(9, 1, 2, 300, 40, L"group");
    EXPECT_EQ(9, group.controlId);
    EXPECT_EQ(1, group.x);
    EXPECT_EQ(2, group.y);
    EXPECT_EQ(300, group.width);
    EXPECT_EQ(40, group.height);

    const std::wstring longCaption(600, L'c');
    LabelInfo label(group.GetHandle());
    label.Create(8, 3, 4, 60, 24, longCaption.c_str());
    EXPECT_EQ(3, label.x);
    EXPECT_EQ(4, label.y);
    EXPECT_EQ(60, label.width);
    EXPECT_EQ(24, label.height);
    EXPECT_EQ(longCaption.substr(0, 511), label.caption);
    EXPECT_EQ(0x50000000, GetWindowLongPtrW(label.GetHandle(), GWL_STYLE));
}

}  // namespace
