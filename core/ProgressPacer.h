// When the progress of the file in progress is worth showing: only once it has taken about a
// second, so that a run of short files shows none, and then at most four times a second, so that
// showing it costs nothing the job would notice.
#pragma once

#include <chrono>
#include <optional>

class ProgressPacer {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr Clock::duration kQuietStart = std::chrono::seconds(1);
    static constexpr Clock::duration kInterval = std::chrono::milliseconds(250);

    void FileStarted(Clock::time_point now) {
        started_ = now;
        shown_.reset();
    }

    // True when the progress is to be shown at `now`, which then counts as shown.
    bool Due(Clock::time_point now) {
        if (now - started_ < kQuietStart || (shown_ && now - *shown_ < kInterval)) {
            return false;
        }
        shown_ = now;
        return true;
    }

private:
    Clock::time_point started_{};
    std::optional<Clock::time_point> shown_;
};
