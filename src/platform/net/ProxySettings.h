#pragma once
// plat::ProxySettings: which proxies a URL goes through.
// - systemSettings(): the settings of this machine, as curl reads them from the environment:
//   "http_proxy" (lower case only), "https_proxy", "all_proxy", "no_proxy" (either case). They
//   never name an auto-configuration script; only a settings dictionary that the caller makes
//   does (kProxyAutoConfigUrlKey).
// - proxiesForUrl(): the list to try in order: None (direct), an HTTP proxy (for http URLs),
//   an HTTPS proxy (for https URLs, tunnelled), SOCKS, or an auto-configuration URL to fetch and
//   run. A setting that cannot be read gives no list at all (never a silent direct connection).
// - parsePacResult(): "PROXY h:p; SOCKS h:p; DIRECT" from a script, as a list.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/net/Url.h"

namespace plat {

// Keys of a settings dictionary: the environment variables' names, and the script's URL.
inline constexpr const char* kProxyAutoConfigUrlKey = "ProxyAutoConfigURLString";

struct ProxyEntry {
    enum class Type { None, Http, Https, Socks, AutoConfigurationUrl };
    Type type = Type::None;
    std::string host;
    int port = 0;
    std::string autoConfigurationUrl;
    friend bool operator==(const ProxyEntry&, const ProxyEntry&) = default;
};

class ProxySettings {
  public:
    static Ref<Dictionary> systemSettings();
    static std::optional<std::vector<ProxyEntry>> proxiesForUrl(const Url& url,
                                                                const Dictionary& settings);
    static std::optional<std::vector<ProxyEntry>> parsePacResult(std::string_view text,
                                                                 const Url& url);
};

}  // namespace plat
