#include "platform/net/ProxySettings.h"

#include <arpa/inet.h>

#include <cstdlib>

#include "platform/net/NetText.h"

namespace plat {
namespace {

using net_text::asciiLowercase;
using net_text::trim;

std::optional<std::string> setting(const Dictionary& settings, const char* name) {
    const Value value = settings.objectForKey(name);
    if (const std::string* text = value.string(); text && !trim(*text).empty())
        return std::string(trim(*text));
    return std::nullopt;
}

std::optional<int> portNumber(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    int port = 0;
    for (char c : text) {
        if (!net_text::isDigit(c))
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

// "[scheme://][user:password@]host[:port][/]" as curl reads a proxy variable.
std::optional<ProxyEntry> parseProxyVariable(std::string_view text, bool httpsUrl) {
    std::string scheme = "http";
    if (const size_t at = text.find("://"); at != std::string_view::npos) {
        scheme = asciiLowercase(text.substr(0, at));
        text.remove_prefix(at + 3);
    }
    if (!text.empty() && text.back() == '/')
        text.remove_suffix(1);
    if (const size_t at = text.rfind('@'); at != std::string_view::npos)
        text.remove_prefix(at + 1);
    std::string_view host = text;
    std::optional<int> port = 1080;  // curl's default proxy port
    if (!host.empty() && host.front() == '[') {
        const size_t close = host.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view rest = host.substr(close + 1);
        host = host.substr(1, close - 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            port = portNumber(rest.substr(1));
        }
    } else if (const size_t colon = host.find(':'); colon != std::string_view::npos) {
        port = portNumber(host.substr(colon + 1));
        host = host.substr(0, colon);
    }
    if (!port || host.empty())
        return std::nullopt;
    for (char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || net_text::isDigit(c) ||
                        c == '-' || c == '.' || c == ':' || c == '_';
        if (!ok)
            return std::nullopt;
    }
    ProxyEntry entry;
    entry.host = std::string(host);
    entry.port = *port;
    if (scheme == "http" || scheme == "https")
        entry.type = httpsUrl ? ProxyEntry::Type::Https : ProxyEntry::Type::Http;
    else if (scheme == "socks5" || scheme == "socks5h" || scheme == "socks4" ||
             scheme == "socks4a" || scheme == "socks")
        entry.type = ProxyEntry::Type::Socks;
    else
        return std::nullopt;
    return entry;
}

std::optional<uint32_t> ipv4(std::string_view text) {
    in_addr address{};
    if (inet_pton(AF_INET, std::string(text).c_str(), &address) != 1)
        return std::nullopt;
    return ntohl(address.s_addr);
}

// Whether "no_proxy" exempts the host: "*", a name (itself and its subdomains, with or without
// a leading dot), an IPv4 address or an IPv4 network ("10.0.0.0/8").
bool exempt(std::string_view list, const std::string& host) {
    const std::string name = asciiLowercase(host);
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        std::string entry = asciiLowercase(trim(list.substr(start, comma - start)));
        start = comma + 1;
        if (entry.empty())
            continue;
        if (entry == "*")
            return true;
        if (const size_t slash = entry.find('/'); slash != std::string::npos) {
            const auto network = ipv4(entry.substr(0, slash));
            const auto address = ipv4(name);
            const int bits = std::atoi(entry.c_str() + slash + 1);
            if (network && address && bits >= 0 && bits <= 32) {
                const uint32_t mask = bits == 0 ? 0 : ~uint32_t{0} << (32 - bits);
                if ((*network & mask) == (*address & mask))
                    return true;
            }
            continue;
        }
        if (entry.front() == '.')
            entry.erase(0, 1);
        if (name == entry || (name.size() > entry.size() && name.ends_with(entry) &&
                              name[name.size() - entry.size() - 1] == '.'))
            return true;
    }
    return false;
}

}  // namespace

Ref<Dictionary> ProxySettings::systemSettings() {
    auto settings = MutableDictionary::make();
    auto copy = [&](const char* key, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            if (const char* value = std::getenv(name)) {
                settings->setObject(Value(std::string(value)), key);
                return;
            }
        }
    };
    copy("http_proxy", {"http_proxy"});
    copy("https_proxy", {"https_proxy", "HTTPS_PROXY"});
    copy("all_proxy", {"all_proxy", "ALL_PROXY"});
    copy("no_proxy", {"no_proxy", "NO_PROXY"});
    return settings;
}

std::optional<std::vector<ProxyEntry>> ProxySettings::proxiesForUrl(const Url& url,
                                                                    const Dictionary& settings) {
    if (!url.isValid())
        return std::nullopt;
    if (auto script = setting(settings, kProxyAutoConfigUrlKey)) {
        ProxyEntry entry;
        entry.type = ProxyEntry::Type::AutoConfigurationUrl;
        entry.autoConfigurationUrl = *script;
        return std::vector{entry};
    }
    const bool https = url.isHttps();
    const auto chosen = setting(settings, https ? "https_proxy" : "http_proxy");
    const auto all = setting(settings, "all_proxy");
    const auto variable = chosen ? chosen : all;
    if (!variable)
        return std::vector{ProxyEntry{}};
    auto entry = parseProxyVariable(*variable, https);
    if (!entry)
        return std::nullopt;
    if (auto list = setting(settings, "no_proxy"); list && exempt(*list, url.host()))
        return std::vector{ProxyEntry{}};
    return std::vector{*entry};
}

std::optional<std::vector<ProxyEntry>> ProxySettings::parsePacResult(std::string_view text,
                                                                     const Url& url) {
    std::vector<ProxyEntry> entries;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t semicolon = std::min(text.find(';', start), text.size());
        const std::string_view item = trim(text.substr(start, semicolon - start));
        start = semicolon + 1;
        if (item.empty())
            continue;
        const size_t space = item.find_first_of(" \t");
        const std::string keyword = asciiLowercase(item.substr(0, space));
        const std::string_view address =
            space == std::string_view::npos ? std::string_view() : trim(item.substr(space));
        if (keyword == "direct") {
            entries.push_back(ProxyEntry{});
            continue;
        }
        const bool socks = keyword == "socks" || keyword == "socks4" || keyword == "socks5";
        if (!socks && keyword != "proxy" && keyword != "http" && keyword != "https")
            continue;  // an unknown kind is skipped, as browsers do
        std::string target(address);
        if (!socks && target.find(':') == std::string::npos)
            target += ":80";  // a web proxy named without a port
        auto entry = parseProxyVariable(std::string(socks ? "socks5://" : "http://") + target,
                                        url.isHttps());
        if (entry)
            entries.push_back(*entry);
    }
    if (entries.empty())
        return std::nullopt;
    return entries;
}

}  // namespace plat
