#include "core/InputChange.h"

#include "core/FileService.h"

namespace {

using Kind = FileReason::Kind;

// A view meets missing bytes also where a device fails to read them, the file otherwise unchanged:
// that is a read error. A wave made in memory has no input to change.
Kind ChangeOf(const WaveFile& wave) {
    if (!wave.file.IsOpen()) {
        return Kind::None;
    }
    fileservice::FileStamp now;
    if (!fileservice::StampOf(wave.file, now)) {
        return Kind::CannotRead;
    }
    if (now != wave.stamp) {
        return Kind::InputChanged;
    }
    return fileservice::ViewsFailed(wave.file) ? Kind::CannotRead : Kind::None;
}

}  // namespace

FileReason ExplainedByInput(const WaveFile& wave, const FileReason& outcome) {
    const bool explainable = outcome.kind == Kind::None || outcome.kind == Kind::CannotRead ||
                             outcome.kind == Kind::Damaged || outcome.kind == Kind::CannotWrite;
    if (!explainable) {
        return outcome;
    }
    const Kind change = ChangeOf(wave);
    return change == Kind::None ? outcome : FileReason(change);
}
