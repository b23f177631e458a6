// The true peak: the largest magnitude of the signal between its samples as well as at them, found
// by interpolating each channel to at least four times 44.1 kHz with a 48-tap filter.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class TruePeakMeter {
public:
    TruePeakMeter(std::uint32_t sampleRate, std::size_t channels);

    // `frames` frames of interleaved samples against full scale.
    void Add(const double* samples, std::size_t frames);
    // Takes `frames` frames that end where those of the first Add start as the filter's history
    // only, so that a meter can start in the middle of a file.
    void Precede(const double* samples, std::size_t frames);
    // Takes in the peak of a meter of other frames of the same file.
    void Join(const TruePeakMeter& other) { peak_ = std::max(peak_, other.peak_); }
    // The largest magnitude, linear; never below the sample peak.
    double Peak() const { return peak_; }

    // The interpolated points per sample period: 4 below 88.2 kHz, 2 below 176.4 kHz, else 1.
    static std::size_t Factor(std::uint32_t sampleRate);

private:
    // Puts one channel's history followed by its `frames` samples into the line.
    void Line(std::size_t channel, const double* samples, std::size_t frames);
    void AddChannel(std::size_t channel, const double* samples, std::size_t frames);

    std::size_t channels_;
    // Every `phaseStep_`-th phase of the four-phase filter is used.
    std::size_t phaseStep_;
    // Per channel, the last samples the filter still reaches back to.
    std::vector<double> history_;
    // One channel's history followed by its samples of the current call.
    std::vector<double> line_;
    double peak_ = 0.0;
};
