// The benchmark's verdict: each target with the figure measured for it on each file, printed as
// one table at the end of the run.
#pragma once

#include <string>
#include <vector>

class TargetTable {
public:
    enum class Outcome { Met, Missed, Skipped };

    void Add(std::string target, std::string file, std::string figure, Outcome outcome);
    void Check(std::string target, std::string file, std::string figure, bool met);
    // The rows grouped by target, in the order the targets first came.
    void Print() const;
    bool AllMet() const;

private:
    struct Row {
        std::string target;
        std::string file;
        std::string figure;
        Outcome outcome;
    };
    std::vector<Row> rows_;
};
