#include "auxiliary/net/Reachability.h"

#include <arpa/inet.h>

#include <cstdio>

#include "platform/core/Log.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/RunLoop.h"

PLAT_DEFINE_CLASS(Reachability, plat::Object, PLAT_NO_METHODS)

Ref<Reachability> Reachability::make(plat::ReachabilityTarget target, std::string key) {
    auto monitor = std::make_shared<Reachability>();
    monitor->target_ = std::move(target);
    monitor->key_ = std::move(key);
    return monitor;
}

Reachability::~Reachability() {
    stopNotifier();
}

Ref<Reachability> Reachability::reachabilityWithHostName(const std::string& hostName) {
    if (hostName.empty())
        return nullptr;
    return make({hostName, 0}, hostName);
}

Ref<Reachability> Reachability::reachabilityWithAddress(uint32_t address) {
    return make({{}, address}, makeAddressKey(address));
}

Ref<Reachability> Reachability::reachabilityForInternetConnection() {
    auto monitor = reachabilityWithAddress(0);
    monitor->setKey(kInternetConnection);
    return monitor;
}

Ref<Reachability> Reachability::reachabilityForLocalWiFi() {
    auto monitor = reachabilityWithAddress(htonl(0xA9FE0000));
    monitor->setKey(kLocalWiFiConnection);
    monitor->localWiFi_ = true;
    return monitor;
}

std::string Reachability::makeAddressKey(uint32_t address) {
    const uint32_t host = ntohl(address);
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>((host >> 24) & 0xFF),
                  static_cast<int>((host >> 16) & 0xFF), static_cast<int>((host >> 8) & 0xFF),
                  static_cast<int>(host & 0xFF));
    return text;
}

bool Reachability::startNotifier() {
    // Changes are posted to this thread's loop, in the default mode.
    std::weak_ptr<plat::RunLoop> loop = plat::RunLoop::current().weak_from_this();
    WeakRef<Reachability> weak = std::static_pointer_cast<Reachability>(shared_from_this());
    watch_ = plat::ReachabilityProvider::current()->watch([loop, weak] {
        if (const auto target = loop.lock()) {
            target->post(
                [weak] {
                    if (const auto self = weak.lock()) {
                        plat::NotificationCenter::defaultCenter().postNotificationName(
                            kReachabilityChangedNotification, self);
                    }
                },
                plat::defaultModes());
        }
    });
    return watch_ != nullptr;
}

void Reachability::stopNotifier() {
    watch_.reset();
}

std::optional<uint32_t> Reachability::readFlags() const {
    return plat::ReachabilityProvider::current()->flags(target_);
}

std::string Reachability::flagSummary(uint32_t flags) {
    auto letter = [&](uint32_t bit, char c) { return (flags & bit) ? c : '-'; };
    std::string text = "Reachability Flags: ";
    text += letter(plat::kReachabilityReachable, 'R');
    text += letter(plat::kReachabilityConnectionRequired, 'c');
    text += ' ';
    text += letter(plat::kReachabilityTransientConnection, 't');
    text += letter(plat::kReachabilityInterventionRequired, 'i');
    text += letter(plat::kReachabilityConnectionOnTraffic, 'C');
    text += letter(plat::kReachabilityIsLocalAddress, 'l');
    text += letter(plat::kReachabilityIsDirect, 'd');
    text += '-';  // the summary's eighth place has no flag of its own
    return text;
}

NetworkStatus Reachability::networkStatusForFlags(uint32_t flags) const {
    if (!(flags & plat::kReachabilityReachable))
        return StatusNotReachable;
    if (localWiFi_)
        return (flags & plat::kReachabilityIsDirect) ? StatusViaWiFi : StatusNotReachable;
    const uint32_t rest =
        flags & ~(plat::kReachabilityReachable | plat::kReachabilityIsLocalAddress |
                  plat::kReachabilityIsDirect);
    if (rest == (plat::kReachabilityConnectionRequired | plat::kReachabilityTransientConnection))
        return StatusNotReachable;
    if ((rest & plat::kReachabilityTransientConnection) || rest == 0 ||
        (rest & plat::kReachabilityConnectionRequired)) {
        return StatusViaWiFi;
    }
    // A combination no rule covers: reported, and taken as not reachable.
    plat::log("Uncaught reachability test. Flags: " + flagSummary(rest));
    return StatusNotReachable;
}

void Reachability::logQuery(const char* name, int line, uint32_t flags) const {
    plat::log(plat::format("%s (%d) \n\t%s", name, line, flagSummary(flags).c_str()));
}

NetworkStatus Reachability::currentReachabilityStatus() const {
    const auto flags = readFlags();
    return flags ? networkStatusForFlags(*flags) : StatusNotReachable;
}

bool Reachability::isReachable() const {
    return currentReachabilityStatus() != StatusNotReachable;
}

bool Reachability::isReachableViaWWAN() const {
    const auto flags = readFlags();
    if (!flags)
        return false;
    logQuery("-[Reachability isReachableViaWWAN]", __LINE__, *flags);
    return networkStatusForFlags(*flags) == StatusViaWWAN;
}

bool Reachability::isReachableViaWiFi() const {
    const auto flags = readFlags();
    if (!flags)
        return false;
    logQuery("-[Reachability isReachableViaWiFi]", __LINE__, *flags);
    return networkStatusForFlags(*flags) == StatusViaWiFi;
}

bool Reachability::isConnectionRequired() const {
    const auto flags = readFlags();
    if (!flags)
        return false;
    logQuery("-[Reachability isConnectionRequired]", __LINE__, *flags);
    return *flags & plat::kReachabilityConnectionRequired;
}

bool Reachability::isConnectionOnDemand() const {
    const auto flags = readFlags();
    if (!flags)
        return false;
    logQuery("-[Reachability isConnectionOnDemand]", __LINE__, *flags);
    const uint32_t both =
        plat::kReachabilityConnectionRequired | plat::kReachabilityConnectionOnTraffic;
    return (*flags & both) == both;
}

bool Reachability::isInterventionRequired() const {
    const auto flags = readFlags();
    if (!flags)
        return false;
    logQuery("-[Reachability isInterventionRequired]", __LINE__, *flags);
    const uint32_t both =
        plat::kReachabilityConnectionRequired | plat::kReachabilityInterventionRequired;
    return (*flags & both) == both;
}

uint32_t Reachability::reachabilityFlags() const {
    const auto flags = readFlags();
    if (!flags)
        return 0;
    logQuery("-[Reachability reachabilityFlags]", __LINE__, *flags);
    return *flags;
}

std::string Reachability::description() const {
    return key() + "\n\t" + flagSummary(readFlags().value_or(0));
}

std::string Reachability::key() const {
    std::lock_guard lock(keyMutex_);
    return key_;
}

void Reachability::setKey(std::string key) {
    std::lock_guard lock(keyMutex_);
    key_ = std::move(key);
}
