#include "TargetTable.h"

#include <algorithm>
#include <cstdio>

namespace {

const char* NameOf(TargetTable::Outcome outcome) {
    switch (outcome) {
        case TargetTable::Outcome::Met:
            return "met";
        case TargetTable::Outcome::Missed:
            return "MISSED";
        case TargetTable::Outcome::Skipped:
            return "skipped";
    }
    return "";
}

}  // namespace

void TargetTable::Add(std::string target, std::string file, std::string figure, Outcome outcome) {
    rows_.push_back({std::move(target), std::move(file), std::move(figure), outcome});
}

void TargetTable::Check(std::string target, std::string file, std::string figure, bool met) {
    Add(std::move(target), std::move(file), std::move(figure), met ? Outcome::Met : Outcome::Missed);
}

void TargetTable::Print() const {
    std::vector<std::string> targets;
    std::size_t fileWidth = 0;
    std::size_t figureWidth = 0;
    for (const Row& row : rows_) {
        if (std::find(targets.begin(), targets.end(), row.target) == targets.end()) {
            targets.push_back(row.target);
        }
        fileWidth = std::max(fileWidth, row.file.size());
        figureWidth = std::max(figureWidth, row.figure.size());
    }
    std::printf("\nTargets\n");
    for (const std::string& target : targets) {
        std::printf("  %s\n", target.c_str());
        for (const Row& row : rows_) {
            if (row.target == target) {
                std::printf("    %-*s  %-*s  %s\n", static_cast<int>(fileWidth), row.file.c_str(),
                            static_cast<int>(figureWidth), row.figure.c_str(), NameOf(row.outcome));
            }
        }
    }
}

bool TargetTable::AllMet() const {
    return std::all_of(rows_.begin(), rows_.end(), [](const Row& row) { return row.outcome == Outcome::Met; });
}
