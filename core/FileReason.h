// Why a file was not processed: the refusal of the reader, the job or the writer, or a note on a
// file written (its samples unchanged, or unused space kept, or its level target not reached) or
// measured; with its text for the command line
// (English) and for the window (Japanese).
#pragma once

#include "core/Utf16.h"

#include <cstdint>
#include <string>

struct FileReason {
    enum class Kind {
        None,
        // Refusals: the file gets no output.
        NotRegularFile,  // a folder, a pipe or a device
        NotRiffWave,
        BigEndian,
        Damaged,               // at byte `offset`
        TooManyChunks,         // more than `count`, the next at byte `offset`
        UnsupportedCoding,     // format code `code`
        UnsupportedSubformat,  // extensible format whose subformat has the standard form, with code `code`
        UnknownSubformat,      // extensible format with a subformat of its own
        CannotRead,
        OutOfMemory,
        TooLarge,
        PathTooLong,
        InputPathTooLong,  // a listed path longer than any path this program holds
        NameNotUtf8,       // a name given as bytes that no UTF-16 path can spell
        NoThread,
        ReadOnlyTarget,
        NoTemporaryFile,
        CannotWrite,
        NoRoom,
        SameOutputTwice,
        InputChanged,  // another program changed or cut short the input while it was processed
        // Notes: the file was written, its samples unchanged.
        UnchangedCoding,  // `bits`-bit samples of format code `code` are not processed
        UnchangedNoFormat,
        UnchangedNoChannels,
        // Note: the file was written with the `count` bytes of unused space after its last chunk.
        KeptUnusedSpace,
        // Notes on a level target: the file was written at its own level, being silent or at a rate
        // whose loudness is not measured; or the peak ceiling held the gain back, the loudness or the
        // sample peak reaching `level`.
        UnchangedSilent,
        UnchangedNoLoudness,
        LoudnessLimited,
        PeakLimited,
        // Note on a file measured: it has no samples that this program processes.
        NotMeasured,
    };

    FileReason() = default;
    explicit FileReason(Kind why) : kind(why) {}

    Kind kind = Kind::None;
    std::uint64_t offset = 0;
    std::uint32_t code = 0;
    std::uint16_t bits = 0;
    std::uint64_t count = 0;
    double level = 0.0;

    // A refusal: the job sets its error flag.
    bool IsFailure() const;
    // The file was written, with a remark: its samples were left as they were, or it kept unused
    // space.
    bool IsNote() const;
};

// The file is damaged at byte `offset`.
FileReason DamagedAt(std::uint64_t offset);

std::string EnglishText(const FileReason& reason);
Utf16String JapaneseText(const FileReason& reason);
