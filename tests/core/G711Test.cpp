// The G.711 laws: the expansion table's landmarks, codes that survive a round trip, and the
// encoder's steps around zero and at the ends of the range.
#include "core/G711.h"

#include <gtest/gtest.h>

namespace {

TEST(G711Test, ExpansionFollowsTheStandardTables) {
    const struct {
        std::int16_t (*expand)(std::uint8_t);
        std::uint8_t code;
        std::int16_t linear;
    } rows[] = {
        {ExpandALaw, 0xD5, 8},      {ExpandALaw, 0x55, -8},      {ExpandALaw, 0xD4, 24}, {ExpandALaw, 0xAA, 32256},
        {ExpandALaw, 0x2A, -32256}, {ExpandMuLaw, 0xFF, 0},      {ExpandMuLaw, 0x7F, 0}, {ExpandMuLaw, 0xFE, 8},
        {ExpandMuLaw, 0x80, 32124}, {ExpandMuLaw, 0x00, -32124},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expand(row.code), row.linear) << int{row.code};
    }
}

TEST(G711Test, EveryCodeCompressesBackToItselfButMuLawsNegativeZero) {
    for (int code = 0; code < 256; ++code) {
        const auto byte = static_cast<std::uint8_t>(code);
        EXPECT_EQ(CompressALaw(ExpandALaw(byte)), byte) << code;
        EXPECT_EQ(CompressMuLaw(ExpandMuLaw(byte)), code == 0x7F ? 0xFF : byte) << code;
    }
}

// Negative values are taken by their one's complement, so each step and its mirror image hold
// the same number of values.
TEST(G711Test, CompressionStepsAroundZero) {
    const struct {
        std::uint8_t (*compress)(std::int32_t);
        std::int32_t linear;
        std::uint8_t code;
    } rows[] = {
        {CompressALaw, 0, 0xD5},       {CompressALaw, 15, 0xD5},     {CompressALaw, 16, 0xD4},
        {CompressALaw, -1, 0x55},      {CompressALaw, -16, 0x55},    {CompressALaw, -17, 0x54},
        {CompressALaw, 32767, 0xAA},   {CompressALaw, -32768, 0x2A}, {CompressMuLaw, 0, 0xFF},
        {CompressMuLaw, 3, 0xFF},      {CompressMuLaw, 4, 0xFE},     {CompressMuLaw, -1, 0x7F},
        {CompressMuLaw, -4, 0x7F},     {CompressMuLaw, -5, 0x7E},    {CompressMuLaw, 32767, 0x80},
        {CompressMuLaw, -32768, 0x00},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.compress(row.linear), row.code) << row.linear;
    }
}

}  // namespace
