#pragma once
// The log sink and the trace macro. Every trace line is "<function> [Line <n>] <message>" and is
// written only when the trace switch allows its group. The switch is a hook: until something
// installs one, the groups "General" and "System" are on and all others off.
// The system log takes the lines the screens write with no trace group: syslog(3) (which the
// journal collects) unless a sink of its own is set; it never writes to the terminal.
#include <functional>
#include <string>
#include <string_view>

namespace plat {

using LogSink = std::function<void(std::string_view line)>;
using TraceSwitch = std::function<bool(std::string_view group)>;

// Writes one line to the current sink (standard error by default). Thread-safe.
void log(std::string_view line);
// Replaces the sink; an empty function restores standard error. Returns the previous sink.
LogSink setLogSink(LogSink sink);

// Writes one line to the system log (syslog, or its sink when one is set). Thread-safe.
void systemLog(std::string_view line);
// Replaces the system log's sink; an empty function restores syslog. Returns the previous sink.
LogSink setSystemLogSink(LogSink sink);

// Asks the installed trace switch whether a group is enabled.
bool traceEnabled(std::string_view group);
// Installs the trace switch; an empty function restores the built-in default. Returns the switch
// that was installed (empty for the built-in default), for a caller to put back.
TraceSwitch setTraceSwitch(TraceSwitch traceSwitch);

// printf-style formatting into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Writes "<function> [Line <line>] <message>" when the group is enabled.
void trace(std::string_view group, const char* function, int line, const std::string& message);

}  // namespace plat

// VND_TRACE("Webservice", "Posting %s", url.c_str());
#define VND_TRACE(group, ...)                                                                   \
    do {                                                                                        \
        if (::plat::traceEnabled(group))                                                        \
            ::plat::trace((group), __PRETTY_FUNCTION__, __LINE__, ::plat::format(__VA_ARGS__)); \
    } while (0)
