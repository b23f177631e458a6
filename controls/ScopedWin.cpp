// The out-of-line part of the Win32 owners: the shell's allocator stays out of the header.
#include "controls/ScopedWin.h"

#include <shlobj.h>

void ShellItemListDeleter::operator()(ITEMIDLIST* itemList) const {
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(itemList);
        allocator->Release();
    }
}
