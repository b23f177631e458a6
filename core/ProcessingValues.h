// The five values a run processes each file with, as the value boxes show them: one record, so that
// a call names each field and two of them cannot change places unnoticed.
#pragma once

// One end of the audio: a threshold of 0 dB or more keeps it, as an unticked box does.
struct TrimEnd {
    float thresholdDb = 0.0f;
    float marginSec = 0.0f;
};

struct ProcessingValues {
    float gain = 1.0f;
    TrimEnd head;
    TrimEnd tail;
};
