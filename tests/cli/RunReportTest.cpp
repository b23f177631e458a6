// The progress line on standard error: drawn only where standard error is a terminal, with the
// file's percent before its name once the run knows it.
#include "cli/RunReport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string ProgressWritten(bool terminal) {
    testing::internal::CaptureStderr();
    {
        RunReport report(terminal);
        report.Progress(2, 3, "a.wav");
        report.ProgressPercent(45);
    }
    return testing::internal::GetCapturedStderr();
}

TEST(RunReport, PercentShowsOnlyOnATerminalBeforeTheName) {
    const std::string drawn = ProgressWritten(true);
    EXPECT_NE(drawn.find("[2/3] a.wav"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("[2/3] 45 % a.wav"), std::string::npos) << drawn;
    EXPECT_EQ(ProgressWritten(false), "");
}

}  // namespace
