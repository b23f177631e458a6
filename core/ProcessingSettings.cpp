// The process-wide settings record and the output-folder rule.
#include "core/ProcessingSettings.h"

#include "core/FileService.h"

ProcessingSettings& ProcessingSettings::Instance() {
    // Never destroyed: a worker may still read it while the process ends.
    static ProcessingSettings* const instance = new ProcessingSettings();
    return *instance;
}

bool GetOutputFolder(const ProcessingSettings& settings, Utf16Char* out) {
    const Utf16Char* folder = settings.outputFolder;
    if (folder[0] == 0) {
        return fileservice::CurrentFolder(out, kTextCapacity);
    }
    std::size_t length = 0;
    while (length < kTextCapacity && folder[length] != 0) {
        ++length;
    }
    if (length == kTextCapacity) {
        out[0] = 0;
        return false;
    }
    return Utf16Copy(out, kTextCapacity, folder);
}
