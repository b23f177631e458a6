// The taskbar button's progress through the shell's ITaskbarList3.
#include "batch/TaskbarProgress.h"

#include <shobjidl.h>

#include <utility>

namespace {

// COM for this thread, for as long as the taskbar object lives; a thread that already has it
// keeps it.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

// Holds COM for the thread until the list is released.
class ShellTaskbar : public TaskbarProgress {
public:
    ShellTaskbar(std::unique_ptr<ComScope> com, HWND window, ITaskbarList3* list)
        : com_(std::move(com)), window_(window), list_(list) {}
    ~ShellTaskbar() override {
        list_->SetProgressState(window_, TBPF_NOPROGRESS);
        list_->Release();
    }
    ShellTaskbar(const ShellTaskbar&) = delete;
    ShellTaskbar& operator=(const ShellTaskbar&) = delete;

    void Show(ULONGLONG done, ULONGLONG total) override { list_->SetProgressValue(window_, done, total); }
    void Hide() override { list_->SetProgressState(window_, TBPF_NOPROGRESS); }

private:
    std::unique_ptr<ComScope> com_;
    HWND window_;
    ITaskbarList3* list_;
};

ITaskbarList3* CreateTaskbarList() {
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&list)))) {
        return nullptr;
    }
    if (FAILED(list->HrInit())) {
        list->Release();
        return nullptr;
    }
    return list;
}

}  // namespace

std::unique_ptr<TaskbarProgress> OpenTaskbarProgress(HWND window) {
    if (window == nullptr) {
        return nullptr;
    }
    auto com = std::make_unique<ComScope>();
    if (!com->Usable()) {
        return nullptr;
    }
    ITaskbarList3* list = CreateTaskbarList();
    if (list == nullptr) {
        return nullptr;
    }
    return std::make_unique<ShellTaskbar>(std::move(com), window, list);
}
