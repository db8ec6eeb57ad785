#pragma once
// The log lines written while a piece of work runs.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/Log.h"
#include "support/ScopedTraceSwitch.h"

namespace testing_support {

inline std::vector<std::string> logged(const std::function<void()>& work) {
    std::vector<std::string> lines;
    auto previous = plat::setLogSink([&](std::string_view line) { lines.emplace_back(line); });
    work();
    plat::setLogSink(previous);
    return lines;
}

// The lines written while a piece of work runs, to the terminal's log or to the system log.
inline std::vector<std::string> loggedAnywhere(const std::function<void()>& work) {
    std::vector<std::string> lines;
    const auto keep = [&](std::string_view line) { lines.emplace_back(line); };
    auto previous = plat::setLogSink(keep);
    auto system = plat::setSystemLogSink(keep);
    work();
    plat::setSystemLogSink(system);
    plat::setLogSink(previous);
    return lines;
}

// What a piece of work writes with every trace group off: the lines that reach the system log
// and those that reach the log the terminal shows.
struct WrittenLines {
    std::vector<std::string> systemLog;
    std::vector<std::string> terminal;

    // How many lines of the system log, and of the terminal, hold the text.
    static size_t count(const std::vector<std::string>& lines, const std::string& text) {
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
            return l.find(text) != std::string::npos;
        }));
    }
    size_t inSystemLog(const std::string& text) const { return count(systemLog, text); }
    size_t onTerminal(const std::string& text) const { return count(terminal, text); }
};

// The switch installed before is put back afterwards.
inline WrittenLines writtenWithTracesOff(const std::function<void()>& work) {
    WrittenLines written;
    const ScopedTraceSwitch tracesOff([](std::string_view) { return false; });
    auto system = plat::setSystemLogSink(
        [&](std::string_view line) { written.systemLog.emplace_back(line); });
    written.terminal = logged(work);
    plat::setSystemLogSink(system);
    return written;
}

}  // namespace testing_support
