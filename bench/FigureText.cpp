#include "FigureText.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    if (n == 0) {
        return 0;
    }
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Format(const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string SizeText(std::uint64_t bytes) {
    return bytes >= kGiB ? Format("%.1f GiB", static_cast<double>(bytes) / kGiB)
                         : Format("%.0f MiB", static_cast<double>(bytes) / kMiB);
}

std::string MiBText(std::uint64_t bytes) {
    return Format("%.1f MiB", static_cast<double>(bytes) / kMiB);
}
