// The network interfaces of plat::Host: AF_PACKET entries of getifaddrs (one per interface that
// has a link layer), or the source a test set.
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "platform/system/Host.h"

namespace plat {
namespace {

std::mutex& sourceMutex() {
    static std::mutex mutex;
    return mutex;
}

Host::NetworkInterfaceSource& installedSource() {
    static Host::NetworkInterfaceSource source;
    return source;
}

std::vector<Host::NetworkInterface> kernelInterfaces() {
    std::vector<Host::NetworkInterface> interfaces;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return interfaces;
    std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owned(list, &::freeifaddrs);
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_name || !entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET)
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        Host::NetworkInterface interface;
        interface.name = entry->ifa_name;
        const size_t length = std::min<size_t>(link->sll_halen, sizeof(link->sll_addr));
        interface.hardwareAddress.assign(link->sll_addr, link->sll_addr + length);
        interface.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        interfaces.push_back(std::move(interface));
    }
    return interfaces;
}

}  // namespace

std::vector<Host::NetworkInterface> Host::networkInterfaces() {
    NetworkInterfaceSource source;
    {
        std::lock_guard lock(sourceMutex());
        source = installedSource();
    }
    std::vector<NetworkInterface> interfaces = source ? source() : kernelInterfaces();
    std::stable_sort(interfaces.begin(), interfaces.end(),
                     [](const auto& a, const auto& b) { return a.name < b.name; });
    return interfaces;
}

void Host::setNetworkInterfaceSource(NetworkInterfaceSource source) {
    std::lock_guard lock(sourceMutex());
    installedSource() = std::move(source);
}

std::optional<std::array<uint8_t, 6>> Host::hardwareAddress(std::string_view interfaceName) {
    for (const auto& interface : networkInterfaces()) {
        if (interface.name != interfaceName || interface.hardwareAddress.size() != 6)
            continue;
        std::array<uint8_t, 6> address{};
        std::copy(interface.hardwareAddress.begin(), interface.hardwareAddress.end(),
                  address.begin());
        return address;
    }
    return std::nullopt;
}

}  // namespace plat
