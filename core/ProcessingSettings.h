// The one record through which the window and the audio code talk: the output folder, the run's
// flags and the processing values.
#pragma once

#include "core/FileReason.h"
#include "core/LevelMeasurement.h"
#include "core/LevelTarget.h"
#include "core/FileResult.h"
#include "core/ProcessingValues.h"
#include "core/Utf16.h"
#include "core/WriteProgress.h"

#include <atomic>
#include <cstddef>
#include <optional>

struct ProcessingSettings {
    Utf16Char outputFolder[kTextCapacity] = {};
    // Set by Stop on the user-interface thread while a worker polls it.
    std::atomic<bool> cancelRequested{false};
    // Written by the worker, read by the user-interface thread only after the worker has ended:
    // whether the file failed, and why; or, for a file written unchanged, the note that says so.
    bool errorOccurred = false;
    FileReason reason;
    // True once the file in progress has been written; read like errorOccurred.
    bool outputWritten = false;
    // True instead when its complete output waits to be put in place (PlaceHeldOutputs).
    bool outputHeld = false;
    // The levels the job measured of the file in progress (none unless it measured); read like
    // errorOccurred.
    Levels levels;
    // Set before a run and only read during it: the level each file's gain is found for, in place of
    // the gain below; the command line's alone.
    LevelTarget target;
    // What the job did to the audio of a file it processed; read like errorOccurred.
    std::optional<AudioFacts> audio;
    // Stored by the worker as it writes, read by the user-interface thread while it waits.
    WriteProgress progress;
    // Set by the run before each job: the listed file's place in the run, which orders the held
    // outputs, as the jobs of two files may end in either order.
    std::size_t outputOrder = 0;
    // Written on the user-interface thread, by the run before each file and by a check box outside a
    // run, and read by the worker: each one whole.
    std::atomic<float> gain{1.0f};
    std::atomic<float> headThresholdDb{1.0f};
    std::atomic<float> headMarginSec{0.0f};
    std::atomic<float> tailThresholdDb{1.0f};
    std::atomic<float> tailMarginSec{0.0f};

    // A job takes the values once, at its start, so that a box changed meanwhile does not reach
    // it half-way.
    ProcessingValues Values() const;
    void SetValues(const ProcessingValues& values);

    static ProcessingSettings& Instance();
};

static_assert(sizeof(std::atomic<bool>) == 1 && std::atomic<bool>::is_always_lock_free,
              "cancelRequested is a one-byte lock-free flag");
static_assert(sizeof(std::atomic<float>) == 4 && std::atomic<float>::is_always_lock_free,
              "each processing value is a 32-bit lock-free atomic");

// Fills out (kTextCapacity units) with outputFolder, or with the current directory when it is empty.
// Returns false, with out empty, when neither fits.
bool GetOutputFolder(const ProcessingSettings& settings, Utf16Char* out);
