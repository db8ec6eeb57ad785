#pragma once
// Reachability: whether one target (a host name, an IPv4 address, the default route or the
// link-local network) can be reached and how, from the platform's reachability flags; it can
// watch the target and post "NetworkReachabilityChangedNotification" (object: the monitor) on
// the loop that started it, in the default mode, after every change.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/core/Object.h"
#include "platform/net/ReachabilityFlags.h"

inline constexpr const char* kReachabilityChangedNotification =
    "NetworkReachabilityChangedNotification";
inline constexpr const char* kInternetConnection = "InternetConnection";
inline constexpr const char* kLocalWiFiConnection = "LocalWiFiConnection";

enum NetworkStatus : int32_t { StatusNotReachable = 0, StatusViaWWAN = 1, StatusViaWiFi = 2 };

class Reachability : public plat::Object {
    PLAT_CLASS(Reachability)
  public:
    Reachability() = default;
    ~Reachability() override;

    static Ref<Reachability> reachabilityWithHostName(const std::string& hostName);
    // The address in network byte order.
    static Ref<Reachability> reachabilityWithAddress(uint32_t address);
    static Ref<Reachability> reachabilityForInternetConnection();
    static Ref<Reachability> reachabilityForLocalWiFi();
    static std::string makeAddressKey(uint32_t address);

    bool startNotifier();
    void stopNotifier();

    NetworkStatus currentReachabilityStatus() const;
    bool isReachable() const;
    bool isReachableViaWWAN() const;
    bool isReachableViaWiFi() const;
    bool isConnectionRequired() const;
    bool connectionRequired() const { return isConnectionRequired(); }
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;
    uint32_t reachabilityFlags() const;

    NetworkStatus networkStatusForFlags(uint32_t flags) const;
    // "Reachability Flags: Rc tiCld-" style text of the flags.
    static std::string flagSummary(uint32_t flags);

    std::string description() const override;
    bool isEqual(const Reachability& other) const { return key() == other.key(); }
    std::string key() const;
    void setKey(std::string key);

  private:
    static Ref<Reachability> make(plat::ReachabilityTarget target, std::string key);
    std::optional<uint32_t> readFlags() const;
    void logQuery(const char* name, int line, uint32_t flags) const;

    plat::ReachabilityTarget target_;
    bool localWiFi_ = false;
    mutable std::mutex keyMutex_;
    std::string key_;
    std::shared_ptr<void> watch_;
};
