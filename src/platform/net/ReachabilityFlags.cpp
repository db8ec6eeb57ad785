#include "platform/net/ReachabilityFlags.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

namespace plat {
namespace {

// Asks the kernel for its route to the address: whether there is one, and whether it goes
// through a gateway. Nothing is sent on the network.
struct Route {
    bool found = false;
    bool viaGateway = false;
    bool local = false;
};

Route routeTo(uint32_t address) {
    Route route;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return route;
    struct {
        nlmsghdr header;
        rtmsg message;
        char attributes[64];
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = 1;
    request.message.rtm_family = AF_INET;
    request.message.rtm_dst_len = 32;
    auto* attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) +
                                                NLMSG_ALIGN(request.header.nlmsg_len));
    attribute->rta_type = RTA_DST;
    attribute->rta_len = RTA_LENGTH(sizeof(uint32_t));
    std::memcpy(RTA_DATA(attribute), &address, sizeof(uint32_t));
    request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + attribute->rta_len;

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    timeval timeout{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (::sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
        ::close(fd);
        return route;
    }
    char reply[8192];
    const ssize_t n = ::recv(fd, reply, sizeof reply, 0);
    ::close(fd);
    if (n <= 0)
        return route;
    // The answer is one message: the route, or an error when there is none.
    auto* header = reinterpret_cast<nlmsghdr*>(reply);
    if (!NLMSG_OK(header, static_cast<unsigned>(n)) || header->nlmsg_type != RTM_NEWROUTE)
        return route;
    auto* message = static_cast<rtmsg*>(NLMSG_DATA(header));
    route.found = message->rtm_type == RTN_UNICAST || message->rtm_type == RTN_LOCAL;
    route.local = message->rtm_type == RTN_LOCAL;
    int length = static_cast<int>(RTM_PAYLOAD(header));
    for (auto* a = RTM_RTA(message); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        if (a->rta_type == RTA_GATEWAY)
            route.viaGateway = true;
    }
    return route;
}

bool isInterfaceAddress(uint32_t address) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (ifaddrs* entry = list; entry && !found; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET) {
            found = reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr == address;
        }
    }
    ::freeifaddrs(list);
    return found;
}

std::optional<uint32_t> resolve(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || !result)
        return std::nullopt;
    const uint32_t address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(result);
    return address;
}

class SystemProvider : public ReachabilityProvider {
  public:
    std::optional<uint32_t> flags(const ReachabilityTarget& target) override {
        uint32_t address = target.ipv4;
        if (!target.host.empty()) {
            const auto resolved = resolve(target.host);
            if (!resolved)
                return 0u;  // a name that does not resolve cannot be reached
            address = *resolved;
        }
        // The default route and the link-local network are asked for a sample destination.
        const uint32_t hostOrder = ntohl(address);
        uint32_t probe = address;
        if (hostOrder == 0)
            probe = htonl(0x01000001);  // 1.0.0.1: any address beyond the local networks
        else if (hostOrder == 0xA9FE0000)
            probe = htonl(0xA9FE0001);
        const Route route = routeTo(probe);
        if (!route.found)
            return 0u;
        uint32_t flags = kReachabilityReachable;
        if (route.local || isInterfaceAddress(address))
            flags |= kReachabilityIsLocalAddress;
        if (!route.viaGateway)
            flags |= kReachabilityIsDirect;
        return flags;
    }

    std::shared_ptr<void> watch(std::function<void()> changed) override {
        const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (fd < 0)
            return nullptr;
        sockaddr_nl local{};
        local.nl_family = AF_NETLINK;
        local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
        int stop[2];
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::pipe2(stop, O_CLOEXEC) != 0) {
            ::close(fd);
            return nullptr;
        }
        struct Watch {
            int fd, stopRead, stopWrite;
            std::thread thread;
            ~Watch() {
                const char byte = 0;
                [[maybe_unused]] const auto written = ::write(stopWrite, &byte, 1);
                if (thread.joinable())
                    thread.join();
                ::close(fd);
                ::close(stopRead);
                ::close(stopWrite);
            }
        };
        auto watch = std::make_shared<Watch>();
        watch->fd = fd;
        watch->stopRead = stop[0];
        watch->stopWrite = stop[1];
        watch->thread = std::thread([fd, stopRead = stop[0], changed = std::move(changed)] {
            char buffer[8192];
            for (;;) {
                pollfd fds[2] = {{fd, POLLIN, 0}, {stopRead, POLLIN, 0}};
                if (::poll(fds, 2, -1) < 0 && errno != EINTR)
                    return;
                if (fds[1].revents)
                    return;
                if (fds[0].revents & POLLIN) {
                    if (::recv(fd, buffer, sizeof buffer, 0) > 0)
                        changed();
                }
            }
        });
        return watch;
    }
};

std::mutex& providerMutex() {
    static std::mutex mutex;
    return mutex;
}

Ref<ReachabilityProvider>& installed() {
    static Ref<ReachabilityProvider> provider;
    return provider;
}

}  // namespace

Ref<ReachabilityProvider> ReachabilityProvider::current() {
    std::lock_guard lock(providerMutex());
    if (!installed())
        installed() = std::make_shared<SystemProvider>();
    return installed();
}

void ReachabilityProvider::setCurrent(Ref<ReachabilityProvider> provider) {
    std::lock_guard lock(providerMutex());
    installed() = std::move(provider);
}

}  // namespace plat
