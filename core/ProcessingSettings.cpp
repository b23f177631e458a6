// The process-wide settings record, its values taken whole, and the output-folder rule.
#include "core/ProcessingSettings.h"

#include "core/FileService.h"

ProcessingSettings& ProcessingSettings::Instance() {
    // Never destroyed: a worker may still read it while the process ends.
    static ProcessingSettings* const instance = new ProcessingSettings();
    return *instance;
}

ProcessingValues ProcessingSettings::Values() const {
    return {
        gain.load(), {headThresholdDb.load(), headMarginSec.load()}, {tailThresholdDb.load(), tailMarginSec.load()}};
}

void ProcessingSettings::SetValues(const ProcessingValues& values) {
    gain = values.gain;
    headThresholdDb = values.head.thresholdDb;
    headMarginSec = values.head.marginSec;
    tailThresholdDb = values.tail.thresholdDb;
    tailMarginSec = values.tail.marginSec;
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
