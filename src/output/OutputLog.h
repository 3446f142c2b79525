// The log of an output run. The run appends lines from its worker thread;
// the dialog (or the command-line tool) shows them as they come.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tak {

class OutputLog {
public:
    // `onLine` is called for every new line, under the log's lock, on the
    // thread that logs it; a window hands the line on to its own thread.
    explicit OutputLog(std::function<void(const std::string&)> onLine = {}) : onLine_(std::move(onLine)) {}
    OutputLog(const OutputLog&) = delete;
    OutputLog& operator=(const OutputLog&) = delete;

    void LogLine(std::string_view line) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
        if (onLine_) onLine_(lines_.back());
    }

    std::vector<std::string> Lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::function<void(const std::string&)> onLine_;
    std::vector<std::string> lines_;
};

}  // namespace tak
