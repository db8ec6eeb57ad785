#pragma once
// A field of /proc/self/status in KiB ("VmHWM:" is the peak resident set size); 0 when absent.
#include <cstring>
#include <fstream>
#include <string>

namespace bench {

inline long statusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    }
    return 0;
}

}  // namespace bench
