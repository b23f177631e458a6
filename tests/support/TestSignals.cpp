// The sines of the measurement tests.
#include "TestSignals.h"

#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

Bytes FloatSines(std::uint32_t sampleRate, const std::vector<SineStretch>& stretches) {
    Bytes out;
    for (const SineStretch& stretch : stretches) {
        const auto frames = static_cast<std::uint64_t>(std::llround(stretch.seconds * sampleRate));
        std::vector<float> frame(stretch.channelDbfs.size());
        for (std::uint64_t n = 0; n < frames; ++n) {
            const double angle =
                2.0 * kPi * stretch.hertz * static_cast<double>(n) / sampleRate + stretch.phaseDegrees * kPi / 180.0;
            const double seconds = static_cast<double>(n) / sampleRate;
            const double rise = seconds < stretch.fadeInSeconds ? seconds / stretch.fadeInSeconds : 1.0;
            for (std::size_t c = 0; c < frame.size(); ++c) {
                const double dbfs = stretch.channelDbfs[c];
                const double amplitude = dbfs < -200.0 ? 0.0 : std::pow(10.0, dbfs / 20.0);
                frame[c] = static_cast<float>(rise * amplitude * std::sin(angle));
            }
            for (const float sample : frame) {
                std::uint32_t bits;
                std::memcpy(&bits, &sample, sizeof bits);
                PutLe(out, bits, 4);
            }
        }
    }
    return out;
}

WaveFile FloatSineWave(std::uint32_t sampleRate, const std::vector<SineStretch>& stretches, std::uint32_t channelMask) {
    const auto channels = static_cast<std::uint16_t>(stretches.front().channelDbfs.size());
    WaveFile wave = InMemoryWave(channelMask != 0 ? 0xFFFE : 3, channels, 32, sampleRate * channels * 4u,
                                 FloatSines(sampleRate, stretches));
    wave.format.subformatCode = channelMask != 0 ? 3 : 0;
    wave.format.channelMask = channelMask;
    return wave;
}
