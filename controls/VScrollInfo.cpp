// A small vertical scroll bar used only for its two arrows, each of which steps its buddy box.
#include "controls/VScrollInfo.h"

#include "controls/ControlRegistry.h"
#include "controls/TextVolumeInfo.h"

namespace {

constexpr DWORD kArrowStyle = WS_CHILD | WS_VISIBLE | SBS_VERT;
static_assert(kArrowStyle == 0x50000001, "scroll arrow style");
static_assert(sizeof(SCROLLINFO) == 28, "SCROLLINFO as the scroll bar control expects it");

}  // namespace

VScrollInfo::VScrollInfo(HWND parent) : ControlItem(parent, ControlKind::VScroll) {}

// The position never moves: the value lives in the buddy box, the bar only supplies arrows.
void VScrollInfo::Create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height, const wchar_t* caption) {
    controlId = id;
    CreateControlWindow(0, L"SCROLLBAR", caption, kArrowStyle, x, y, width, height);

    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL | SIF_TRACKPOS;
    info.nMin = 0;
    info.nMax = 500;
    info.nPage = 10;
    info.nPos = 0;
    info.nTrackPos = 0;
    SetScrollInfo(window, SB_CTL, &info, FALSE);
}

int VScrollInfo::OnCommand(int32_t code, WPARAM wParam, LPARAM) {
    if (code != WM_VSCROLL) {
        return 0;
    }
    const int scrollCode = LOWORD(wParam);
    if (scrollCode != SB_LINEUP && scrollCode != SB_LINEDOWN) {
        return 0;
    }
    auto* box = dynamic_cast<TextVolumeInfo*>(ControlRegistry::Instance().FindByWindow(buddy));
    if (box == nullptr) {
        return 0;
    }
    box->Step(scrollCode == SB_LINEUP ? step : -step);
    return 0;
}

void VScrollInfo::SetBuddy(HWND buddyWindow) {
    buddy = buddyWindow;
}

void VScrollInfo::SetStep(float amount) {
    step = amount;
}
