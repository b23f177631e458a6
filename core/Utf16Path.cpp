#include "core/Utf16Path.h"

// The path's native text on Windows is already UTF-16; elsewhere it is converted from UTF-8.
Utf16String Utf16FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return path.u16string();
#endif
}
