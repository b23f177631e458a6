// Where a complete output goes: a temporary file of its own beside the target, put in the target's
// place once its bytes are on the disk, at once or held open and placed with others; and what a
// process ending on a signal leaves behind.
#pragma once

#include "core/FileReason.h"
#include "core/FileService.h"
#include "core/Utf16.h"

#include <cstddef>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

// The end of the name of a temporary file that a write in progress makes next to its target.
constexpr char kTemporarySuffix[] = ".palvotrix-part";

// Creates a new temporary file in the target's folder under a fresh name ending in
// kTemporarySuffix, and leaves that name in `path`; the settings file is replaced through one too.
// Closed, with `path` empty, when no such file could be made.
FileHandle CreateTemporaryFor(const Utf16Char* target, bool replacesFile, Utf16String& path);

// When a complete output goes into its target's place: at once, or with others by PlaceHeldOutputs.
enum class Placing { AtOnce, Held };

// Why the file operation that just failed failed: for lack of room, or as `otherwise` says.
FileReason WriteFailure(FileReason::Kind otherwise = FileReason::Kind::CannotWrite);

// A complete output that waits, open, to be put in place with others, its place among them, and
// once placed whether it is in place.
struct HeldOutput {
    Utf16String target;
    Utf16String temporary;
    FileHandle file;
    std::size_t order = 0;
    bool placed = false;
};

// The temporary files this process is writing, one for each thread that writes, the complete
// outputs held to be put in place later, and what each thread put in place last. A run ended by a
// signal removes every temporary file, and from then on no temporary file is made or moved into
// place. Placing held outputs allocates nothing, so that its outcome is always known.
class PendingTemporary {
public:
    static PendingTemporary& Instance();

    // The calling thread's temporary file for `target`; closed when none could be made or the
    // process is ending. The other calls below that name no file take the calling thread's.
    FileHandle Create(const Utf16Char* target, bool replacesFile);
    // Puts the temporary file just written in the target's place and flushes the folder.
    bool MoveIntoPlace(const Utf16Char* target);
    // The temporary file just written waits, still open, for PlaceHeld, after the held outputs of
    // lower `order`: two files' jobs may end in either order. False, with nothing held, when there
    // is no memory to note it.
    bool Hold(FileHandle file, const Utf16Char* target, std::size_t order);
    // The first held outputs, one for each of `reasons`: every one's bytes are waited for before
    // any is moved, then each goes into place and each folder is flushed once. A job may hold its
    // output meanwhile: those being placed are apart from it. The flushes run without the lock, so
    // that a signal need not wait for them; the moves and removals are guarded.
    void PlaceHeld(std::vector<FileReason>& reasons);
    // Removes the temporary file of a write that did not succeed.
    void Remove();
    // Removes the held output of `order`, if any, and its temporary file.
    void DropHeld(std::size_t order);
    // Keeps the lock for good, so that no worker can move a file into place afterwards. For each
    // target, whether the latest placing put it in place.
    std::vector<bool> Abandon(const std::vector<Utf16String>& targets);

private:
    // A thread's write: its temporary file while it writes, and the target it put in place last.
    struct Writing {
        std::thread::id thread;
        Utf16String temporary;
        Utf16String placed;
    };

    PendingTemporary() = default;

    // The calling thread's write, added when missing; nullptr where it is not to be added.
    Writing* WritingOfThisThread(bool add);

    void TakeHeld(std::size_t count);
    FileReason MoveHeld(HeldOutput& output, FileReason reason);
    void FlushFoldersOfPlaced() const;
    bool WasPlaced(const Utf16String& target) const;

    std::mutex mutex_;
    std::list<Writing> writing_;
    std::list<HeldOutput> held_;
    std::list<HeldOutput> placing_;
    bool abandoned_ = false;
};

// Puts the first held outputs in place, one for each of `reasons`, in the order they were written,
// each only once its bytes are on the disk. Each one's reason becomes why it is not in place (it is
// then removed, so that the file it would have replaced stays as it was), or none when it is; a
// reason without a held output stays as it was.
void PlaceHeldOutputs(std::vector<FileReason>& reasons);
// Removes the held output of `order`, so that the file it would have replaced stays as it was.
void DropHeldOutput(std::size_t order);
