#include "platform/core/Log.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <utility>

namespace plat {
namespace {

struct LogState {
    std::mutex mutex;
    LogSink sink;
    LogSink systemSink;
    TraceSwitch traceSwitch;
};

LogState& state() {
    static LogState s;
    return s;
}

// Puts `sink` in the slot; returns what was there.
LogSink replaceSink(LogSink LogState::*slot, LogSink sink) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    std::swap(s.*slot, sink);
    return sink;
}

bool defaultTraceSwitch(std::string_view group) {
    return group == "General" || group == "System";
}

}  // namespace

void log(std::string_view line) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.sink) {
        s.sink(line);
    } else {
        std::cerr << line << '\n';
    }
}

LogSink setLogSink(LogSink sink) {
    return replaceSink(&LogState::sink, std::move(sink));
}

void systemLog(std::string_view line) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.systemSink) {
        s.systemSink(line);
    } else {
        // The line as one argument: a "%" in it is text, not a format.
        ::syslog(LOG_USER | LOG_INFO, "%.*s", static_cast<int>(line.size()), line.data());
    }
}

LogSink setSystemLogSink(LogSink sink) {
    return replaceSink(&LogState::systemSink, std::move(sink));
}

bool traceEnabled(std::string_view group) {
    auto& s = state();
    TraceSwitch sw;
    {
        std::lock_guard lock(s.mutex);
        sw = s.traceSwitch;
    }
    return sw ? sw(group) : defaultTraceSwitch(group);
}

TraceSwitch setTraceSwitch(TraceSwitch traceSwitch) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    std::swap(s.traceSwitch, traceSwitch);
    return traceSwitch;
}

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, fmt, args);
    }
    va_end(args);
    return out;
}

void trace(std::string_view, const char* function, int line, const std::string& message) {
    log(format("%s [Line %d] ", function, line) + message);
}

}  // namespace plat
