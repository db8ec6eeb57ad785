#pragma once
// plat::PacEvaluator: runs a proxy auto-configuration script's FindProxyForURL(url, host) in a
// fresh, sandboxed JavaScript interpreter (duktape) with the standard helpers (isPlainHostName,
// dnsDomainIs, localHostOrDomainIs, isResolvable, isInNet, dnsResolve, myIpAddress,
// dnsDomainLevels, shExpMatch, weekdayRange, dateRange, timeRange) and no other I/O. Each run
// is bounded: 2 s (name look-ups included) and 32 MB of heap; a script that throws, runs too
// long or grows too big gives an error with the reason, and the next run starts afresh.
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Error.h"
#include "platform/net/ProxySettings.h"

namespace plat {

class PacEvaluator {
  public:
    static constexpr double kTimeLimitSeconds = 2.0;
    static constexpr size_t kHeapLimitBytes = 32u << 20;

    struct Result {
        std::optional<std::vector<ProxyEntry>> proxies;
        std::string text;  // what the script answered
        Ref<Error> error;
    };
    static Result proxiesForUrl(const std::string& script, const Url& url,
                                double timeLimitSeconds = kTimeLimitSeconds);
};

}  // namespace plat
