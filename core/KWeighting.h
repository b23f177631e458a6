// The K-weighting filter of loudness measurement: a high-frequency shelf followed by a high-pass,
// both derived from their analog prototypes at the file's own sample rate.
#pragma once

// One second-order section, normalised so that a0 is 1.
struct Biquad {
    double b0;
    double b1;
    double b2;
    double a1;
    double a2;
};

struct KWeighting {
    Biquad shelf;
    Biquad highPass;
};

// The two sections at `sampleRate` Hz, by the bilinear transform with prewarping at each corner,
// so that the response matches the analog one at any rate rather than only at 48 kHz.
KWeighting KWeightingAt(double sampleRate);
