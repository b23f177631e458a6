// Every malformed or borderline file through the whole per-file job: refused with the error flag
// and no output, or written exactly as the table says.
#include "support/MalformedCases.h"
#include "support/MemoryFileService.h"

#include "core/FileJob.h"
#include "core/PathParts.h"
#include "core/ProcessingSettings.h"

#include <gtest/gtest.h>

namespace {

const Utf16String kInput = Utf16FromUtf8("/in/case.wav");
const Utf16String kOutput = Utf16FromUtf8("/out") + kPathSeparator + Utf16FromUtf8("case.wav");

std::string Describe(const Bytes& bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        static const char kHex[] = "0123456789abcdef";
        text += {kHex[byte >> 4], kHex[byte & 15], ' '};
    }
    return text;
}

TEST(MalformedInputTest, EveryCaseIsRefusedOrWrittenAsExpected) {
    for (const MalformedCase& row : MalformedCases()) {
        SCOPED_TRACE(row.what);
        memoryfs::Reset();
        memoryfs::Put(kInput, row.input);
        ProcessingSettings settings;
        Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromUtf8("/out").c_str());
        settings.gain = kCaseGain;
        settings.headThresholdDb = kCaseThresholdDb;
        settings.tailThresholdDb = kCaseThresholdDb;

        ProcessFile(settings, kInput.c_str());

        EXPECT_EQ(settings.errorOccurred, row.outcome == Outcome::Refused);
        EXPECT_EQ(memoryfs::Get(kInput), row.input);
        if (row.outcome == Outcome::Refused) {
            EXPECT_EQ(memoryfs::Files().size(), 1u);
            continue;
        }
        ASSERT_TRUE(memoryfs::Exists(kOutput));
        const Bytes written = memoryfs::Get(kOutput);
        if (written.size() < 256 || row.output.size() < 256) {
            EXPECT_EQ(Describe(written), Describe(row.output));
        } else {
            EXPECT_TRUE(written == row.output);
        }
        EXPECT_EQ(memoryfs::Files().size(), 2u);
    }
}

}  // namespace
