#pragma once
// plat::ReachabilityProvider: whether a host or an IPv4 address can be reached now, as the bit
// set the reachability monitor reads (2 reachable, 0x10000 a local address, 0x20000 direct, no
// gateway), and a watch that hears every change of links, addresses and routes. The system
// provider asks the kernel's routing table (netlink) without sending anything, reads the
// interface addresses and resolves names; tests install their own.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/core/Ref.h"

namespace plat {

enum ReachabilityFlag : uint32_t {
    kReachabilityTransientConnection = 1,
    kReachabilityReachable = 2,
    kReachabilityConnectionRequired = 4,
    kReachabilityConnectionOnTraffic = 8,
    kReachabilityInterventionRequired = 16,
    kReachabilityIsLocalAddress = 0x10000,
    kReachabilityIsDirect = 0x20000,
};

struct ReachabilityTarget {
    std::string host;   // a name, or empty
    uint32_t ipv4 = 0;  // network byte order, when no name is given
};

class ReachabilityProvider {
  public:
    virtual ~ReachabilityProvider() = default;
    // The flags now; nothing when they cannot be read.
    virtual std::optional<uint32_t> flags(const ReachabilityTarget& target) = 0;
    // `changed` is called (on a thread of the provider's) after each change, for as long as the
    // answer is kept; null when changes cannot be watched.
    virtual std::shared_ptr<void> watch(std::function<void()> changed) = 0;

    // The provider in use: the system's unless a test set another (null restores it).
    static Ref<ReachabilityProvider> current();
    static void setCurrent(Ref<ReachabilityProvider> provider);
};

}  // namespace plat
