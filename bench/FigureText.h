// The benchmark's figures: the median of a case's rounds, and the figures as text: sizes in MiB and
// GiB, and printf into a string.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

// The median; 0 for no values.
double Median(std::vector<double> values);

// printf into a std::string, for the figures.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// In GiB from a GiB on, in whole MiB below.
std::string SizeText(std::uint64_t bytes);

// In MiB with one decimal, for memory.
std::string MiBText(std::uint64_t bytes);
