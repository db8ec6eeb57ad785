// Network interfaces and their hardware addresses: the kernel's list (the loopback flagged, names
// sorted, one entry an interface) and a list a test puts in its place.
#include <gtest/gtest.h>

#include <net/if.h>

#include <algorithm>

#include "platform/system/Host.h"

using plat::Host;

TEST(HardwareAddressTest, KernelListIsSortedWithTheLoopbackFlaggedAndReplaceable) {
    const auto kernel = Host::networkInterfaces();
    EXPECT_TRUE(std::is_sorted(kernel.begin(), kernel.end(),
                               [](const auto& a, const auto& b) { return a.name < b.name; }));
    for (const auto& interface : kernel) {
        EXPECT_FALSE(interface.name.empty());
        EXPECT_LE(interface.hardwareAddress.size(), 8U);
        // The kernel's own loopback interface is "lo" whenever it is listed.
        if (interface.name == "lo") {
            EXPECT_TRUE(interface.loopback);
        }
    }
    if (::if_nametoindex("lo") != 0) {
        EXPECT_TRUE(std::any_of(kernel.begin(), kernel.end(),
                                [](const auto& i) { return i.name == "lo" && i.loopback; }));
    }

    Host::setNetworkInterfaceSource([] {
        return std::vector<Host::NetworkInterface>{
            {"wlan0", {0x02, 0x00, 0x5e, 0x10, 0x00, 0x01}, false},
            {"en0", {0xAC, 0xDE, 0x48, 0x00, 0x11, 0x22}, false},
            {"tun0", {}, false},
            {"ib0", std::vector<uint8_t>(8, 0x11), false},
        };
    });
    const auto injected = Host::networkInterfaces();
    ASSERT_EQ(injected.size(), 4U);
    EXPECT_EQ(injected[0].name, "en0");
    EXPECT_EQ(injected[3].name, "wlan0");
    EXPECT_EQ(Host::hardwareAddress("en0"),
              (std::array<uint8_t, 6>{0xAC, 0xDE, 0x48, 0x00, 0x11, 0x22}));
    EXPECT_EQ(Host::hardwareAddress("tun0"), std::nullopt);  // no link-level address
    EXPECT_EQ(Host::hardwareAddress("ib0"), std::nullopt);   // not six bytes
    EXPECT_EQ(Host::hardwareAddress("eth9"), std::nullopt);

    Host::setNetworkInterfaceSource(nullptr);
    EXPECT_EQ(Host::networkInterfaces().size(), kernel.size());
}
