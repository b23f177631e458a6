// How far a file is, and when that is shown: never in a file's first second, then at most four
// times a second.
#include "core/ProgressPacer.h"
#include "core/WriteProgress.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;

TEST(Progress, ShownAfterAQuietSecondAndThenAtMostFourTimesASecond) {
    const ProgressPacer::Clock::time_point start{std::chrono::hours(5)};
    ProgressPacer pacer;
    pacer.FileStarted(start);
    const struct {
        int atMs;
        bool due;
    } polls[] = {
        {0, false}, {999, false}, {1000, true}, {1020, false}, {1249, false}, {1250, true}, {1600, true}, {1700, false},
    };
    for (const auto& poll : polls) {
        SCOPED_TRACE(poll.atMs);
        EXPECT_EQ(pacer.Due(start + milliseconds(poll.atMs)), poll.due);
    }
    // The next file starts quiet again, whatever the one before showed.
    pacer.FileStarted(start + milliseconds(2000));
    EXPECT_FALSE(pacer.Due(start + milliseconds(2500)));
    EXPECT_TRUE(pacer.Due(start + milliseconds(3000)));
}

TEST(Progress, PercentIsTheWholePercentWritten) {
    const struct {
        std::uint64_t total;
        std::uint64_t done;
        unsigned percent;
    } rows[] = {
        {0, 0, 0},
        {200, 0, 0},
        {200, 89, 44},
        {200, 90, 45},
        {200, 200, 100},
        {200, 300, 100},  // never past the whole
        {std::uint64_t{1} << 62, std::uint64_t{1} << 61, 50},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.done);
        WriteProgress progress;
        progress.Begin(row.total);
        progress.Written(row.done);
        EXPECT_EQ(progress.Percent(), row.percent);
    }
}

}  // namespace
