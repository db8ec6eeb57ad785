#pragma once
// A trace switch installed for as long as this lives; then the switch that was there before is
// put back (the program's own, another test's, or the built-in default).
#include <utility>

#include "platform/core/Log.h"

namespace testing_support {

class ScopedTraceSwitch {
  public:
    explicit ScopedTraceSwitch(plat::TraceSwitch traceSwitch)
        : previous_(plat::setTraceSwitch(std::move(traceSwitch))) {}
    ~ScopedTraceSwitch() { plat::setTraceSwitch(std::move(previous_)); }
    ScopedTraceSwitch(const ScopedTraceSwitch&) = delete;
    ScopedTraceSwitch& operator=(const ScopedTraceSwitch&) = delete;

  private:
    plat::TraceSwitch previous_;
};

}  // namespace testing_support
