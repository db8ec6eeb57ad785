#include "platform/system/Host.h"

#include <algorithm>

#include <sys/utsname.h>

#include <cstdlib>

#include <sys/sysinfo.h>
#include <unistd.h>

#include <charconv>
#include <limits>

#include "platform/storage/AtomicFile.h"

namespace plat {

uint64_t Host::pageSize() {
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<uint64_t>(size) : 4096;
}

std::optional<uint64_t> Host::parseMemFree(std::string_view meminfo) {
    constexpr std::string_view kKey = "MemFree:";
    size_t at = 0;
    while (at < meminfo.size()) {
        const size_t end = meminfo.find('\n', at);
        std::string_view line =
            meminfo.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? meminfo.size() : end + 1;
        if (line.substr(0, kKey.size()) != kKey)
            continue;
        line.remove_prefix(kKey.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        uint64_t value = 0;
        auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
        if (ec != std::errc() || ptr == line.data())
            return std::nullopt;
        std::string_view unit(ptr, static_cast<size_t>(line.data() + line.size() - ptr));
        while (!unit.empty() && unit.front() == ' ')
            unit.remove_prefix(1);
        while (!unit.empty() && (unit.back() == ' ' || unit.back() == '\r'))
            unit.remove_suffix(1);
        uint64_t scale = 1;
        if (unit == "kB") {
            scale = 1024;
        } else if (!unit.empty()) {
            return std::nullopt;
        }
        if (value > std::numeric_limits<uint64_t>::max() / scale)
            return std::nullopt;
        return value * scale;
    }
    return std::nullopt;
}

std::optional<uint64_t> Host::freeMemoryBytes() {
    if (auto bytes = AtomicFile::read("/proc/meminfo", 1024 * 1024)) {
        const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
        if (auto free = parseMemFree(text))
            return free;
    }
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return std::nullopt;
    const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    const uint64_t ram = info.freeram;
    if (ram > std::numeric_limits<uint64_t>::max() / unit)
        return std::numeric_limits<uint64_t>::max();
    return ram * unit;
}

std::optional<std::array<unsigned, 3>> Host::parseSystemVersion(std::string_view release) {
    std::array<unsigned, 3> parts{};
    size_t pos = 0;
    for (size_t i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= release.size() || release[pos] != '.')
                return std::nullopt;
            ++pos;
        }
        const size_t start = pos;
        unsigned value = 0;
        while (pos < release.size() && release[pos] >= '0' && release[pos] <= '9' &&
               pos - start < 9)
            value = value * 10 + static_cast<unsigned>(release[pos++] - '0');
        if (pos == start)
            return std::nullopt;
        parts[i] = value;
    }
    return parts;
}

std::optional<std::array<unsigned, 3>> Host::systemVersion() {
    utsname name{};
    if (::uname(&name) != 0)
        return std::nullopt;
    return parseSystemVersion(name.release);
}

std::string Host::localeIdentifier() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value)
            continue;
        std::string locale(value);
        locale = locale.substr(0, locale.find_first_of(".@"));
        if (locale.empty() || locale == "C" || locale == "POSIX")
            return "en_US";
        return locale;
    }
    return "en_US";
}

std::vector<std::string> Host::preferredLanguages() {
    std::vector<std::string> languages;
    auto add = [&](std::string locale) {
        locale = locale.substr(0, locale.find_first_of(".@"));
        if (locale.empty() || locale == "C" || locale == "POSIX")
            return;
        std::replace(locale.begin(), locale.end(), '_', '-');
        if (std::find(languages.begin(), languages.end(), locale) == languages.end())
            languages.push_back(std::move(locale));
    };
    if (const char* list = std::getenv("LANGUAGE")) {
        std::string rest(list);
        for (size_t start = 0; start <= rest.size();) {
            const size_t colon = std::min(rest.find(':', start), rest.size());
            add(rest.substr(start, colon - start));
            start = colon + 1;
        }
    }
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(variable); value && *value)
            add(value);
    }
    if (languages.empty())
        languages.push_back("en");
    return languages;
}

}  // namespace plat
