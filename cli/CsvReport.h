// The report for scripts (--report FILE): a CSV file with a header row and one row for each listed
// file, written and flushed as the file ends, so that a run killed half-way keeps the rows of the
// files done.
#pragma once

#include "core/FileResult.h"

#include <cstdio>
#include <string>
#include <vector>

// One field quoted as RFC 4180 quotes: in double quotes, the quotes inside doubled, where it holds
// a comma, a quote or a line break; as it is otherwise.
std::string CsvField(const std::string& text);

// The columns that a run with a level target adds: the loudness in and out, and with the true
// peak measured, the true peak in and out.
struct CsvColumns {
    bool loudness = false;
    bool truePeak = false;
};

std::string CsvHeader(const CsvColumns& columns);

// The row of one file, without its line end. `given` is the file as the command line named it.
std::string CsvRow(const std::string& given, const FileResult& result, const CsvColumns& columns);

class CsvReport {
public:
    // Takes the open file and writes the header; `given` names the listed files, in order.
    CsvReport(std::FILE* file, std::vector<std::string> given, const CsvColumns& columns);
    ~CsvReport();
    CsvReport(const CsvReport&) = delete;
    CsvReport& operator=(const CsvReport&) = delete;

    // The row of listed file `number`, counted from 1.
    void Row(std::size_t number, const FileResult& result);

private:
    void Line(const std::string& text);

    std::FILE* file_;
    std::vector<std::string> given_;
    CsvColumns columns_;
};
