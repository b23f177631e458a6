// Where a path's separators are, for every part of the program that splits one.
#include "core/PathParts.h"

bool IsPathSeparator(Utf16Char unit) {
#ifdef _WIN32
    return unit == L'\\' || unit == L'/';
#else
    return unit == u'/';
#endif
}

const Utf16Char* FileNameOf(const Utf16Char* path) {
    const Utf16Char* name = path;
    for (const Utf16Char* p = path; *p != 0; ++p) {
        if (IsPathSeparator(*p)) {
            name = p + 1;
        }
    }
    return name;
}

Utf16String FolderPartOf(const Utf16Char* path) {
    return Utf16String(path, static_cast<std::size_t>(FileNameOf(path) - path));
}
