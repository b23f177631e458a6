// A case's outputs, or its inputs unless kept for another run, removed however the case ends.
#pragma once

#include <filesystem>
#include <system_error>
#include <utility>

class RemovedAtEnd {
public:
    // `path` is a file or a folder, removed with all it holds unless `keep`.
    RemovedAtEnd(std::filesystem::path path, bool keep) : path_(std::move(path)), keep_(keep) {}
    ~RemovedAtEnd() {
        std::error_code ignored;
        if (!keep_) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    RemovedAtEnd(const RemovedAtEnd&) = delete;
    RemovedAtEnd& operator=(const RemovedAtEnd&) = delete;

private:
    std::filesystem::path path_;
    bool keep_;
};
