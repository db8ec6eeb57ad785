#pragma once
// The log lines written while a piece of work runs.
#include <functional>
#include <string>
#include <vector>

#include "platform/core/Log.h"

namespace testing_support {

inline std::vector<std::string> logged(const std::function<void()>& work) {
    std::vector<std::string> lines;
    auto previous = plat::setLogSink([&](std::string_view line) { lines.emplace_back(line); });
    work();
    plat::setLogSink(previous);
    return lines;
}

}  // namespace testing_support
