// The list of input files: a list box of full paths beside the program's own copy of each path.
#pragma once

#include "controls/ControlItem.h"

#include <memory>
#include <vector>

class ListboxInfo : public ControlItem {
public:
    explicit ListboxInfo(HWND parent);
    ~ListboxInfo() override;

    void CreateUntitled(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) override;
    int OnCommand(int32_t code, WPARAM wParam, LPARAM lParam) override;

    virtual void UpdateHorizontalExtent();
    virtual void AddFile(const wchar_t* path);
    virtual void DeleteAt(int32_t index);
    virtual void DeleteSelected();
    virtual void Clear();
    virtual int32_t GetCount() const;
    virtual const wchar_t* GetItem(int32_t index) const;

    // Each copy is allocated once and never moves, so a worker may read it while entries are added.
    std::vector<std::unique_ptr<wchar_t[]>> paths;
    std::vector<int32_t> selection;
};
