// Reading a small file whole, and replacing one through a temporary file.
#include "core/SmallFile.h"

#include "core/FileService.h"
#include "core/OutputPlacing.h"

namespace {

bool WriteAndClose(FileHandle& file, const std::string& contents) {
    const bool written =
        fileservice::WriteExactly(file, contents.data(), contents.size()) && fileservice::FlushToDisk(file);
    return file.Close() && written;
}

}  // namespace

bool ReadSmallFile(const Utf16Char* path, std::size_t limit, std::string& contents) {
    bool notRegular = false;
    const FileHandle file = fileservice::OpenForReading(path, notRegular);
    fileservice::FileStamp stamp;
    if (!file.IsOpen() || !fileservice::StampOf(file, stamp) || stamp.size > limit) {
        return false;
    }
    contents.resize(static_cast<std::size_t>(stamp.size));
    return fileservice::ReadAt(file, 0, contents.data(), contents.size());
}

bool ReplaceSmallFile(const Utf16Char* path, const std::string& contents) {
    Utf16String temporary;
    FileHandle file = CreateTemporaryFor(path, false, temporary);
    if (!file.IsOpen()) {
        return false;
    }
    if (WriteAndClose(file, contents) && fileservice::MoveIntoPlace(temporary.c_str(), path)) {
        fileservice::FlushFolderOf(path);
        return true;
    }
    fileservice::RemoveFileAt(temporary.c_str());
    return false;
}
