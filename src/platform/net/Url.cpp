#include "platform/net/Url.h"

#include <cctype>

#include "platform/core/HexDigit.h"

#include "platform/net/NetText.h"

namespace plat {
namespace {

using net_text::isDigit;

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Printable ASCII that may appear in URL text, and only complete percent escapes.
bool hasOnlyUrlCharacters(std::string_view text) {
    constexpr std::string_view kForbidden = "\"<>\\^`{|}";
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
            return false;
        }
        if (kForbidden.find(c) != std::string_view::npos)
            return false;
        if (c == '%') {
            if (i + 2 >= text.size())
                return false;
            if (plat::hexDigitValue(text[i + 1]) < 0 || plat::hexDigitValue(text[i + 2]) < 0)
                return false;
            i += 2;
        }
    }
    return true;
}

bool isValidScheme(std::string_view s) {
    if (s.empty() || !isAlpha(s.front()))
        return false;
    for (char c : s) {
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

bool isValidRegName(std::string_view host) {
    constexpr std::string_view kAllowed = "-._~!$&'()*+,;=%";
    for (char c : host) {
        if (!isAlpha(c) && !isDigit(c) && kAllowed.find(c) == std::string_view::npos)
            return false;
    }
    return true;
}

bool isValidIpLiteral(std::string_view host) {
    if (host.empty())
        return false;
    for (char c : host) {
        if (plat::hexDigitValue(c) < 0 && c != ':' && c != '.')
            return false;
    }
    return host.find(':') != std::string_view::npos;
}

std::optional<int> parsePort(std::string_view digits, bool& ok) {
    ok = true;
    if (digits.empty())
        return std::nullopt;
    if (digits.size() > 5) {
        ok = false;
        return std::nullopt;
    }
    int port = 0;
    for (char c : digits) {
        if (!isDigit(c)) {
            ok = false;
            return std::nullopt;
        }
        port = port * 10 + (c - '0');
    }
    if (port > 65535) {
        ok = false;
        return std::nullopt;
    }
    return port;
}

}  // namespace

std::optional<Url> Url::parse(std::string_view text) {
    if (!hasOnlyUrlCharacters(text))
        return std::nullopt;
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || !isValidScheme(text.substr(0, colon))) {
        return std::nullopt;
    }
    Url url;
    url.scheme_ = net_text::asciiLowercase(text.substr(0, colon));
    std::string_view rest = text.substr(colon + 1);

    if (const size_t hash = rest.find('#'); hash != std::string_view::npos) {
        url.fragment_ = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (const size_t question = rest.find('?'); question != std::string_view::npos) {
        url.query_ = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }

    if (rest.substr(0, 2) == "//") {
        url.hasAuthority_ = true;
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);

        if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
            const std::string_view userInfo = authority.substr(0, at);
            authority = authority.substr(at + 1);
            url.hasUserInfo_ = true;
            const size_t separator = userInfo.find(':');
            url.user_ = std::string(userInfo.substr(0, separator));
            if (separator != std::string_view::npos) {
                url.hasPassword_ = true;
                url.password_ = std::string(userInfo.substr(separator + 1));
            }
        }

        std::string_view portText;
        bool hasPortSeparator = false;
        if (!authority.empty() && authority.front() == '[') {
            const size_t close = authority.find(']');
            if (close == std::string_view::npos)
                return std::nullopt;
            const std::string_view literal = authority.substr(1, close - 1);
            if (!isValidIpLiteral(literal))
                return std::nullopt;
            url.host_ = std::string(literal);
            const std::string_view after = authority.substr(close + 1);
            if (!after.empty()) {
                if (after.front() != ':')
                    return std::nullopt;
                hasPortSeparator = true;
                portText = after.substr(1);
            }
        } else {
            const size_t portColon = authority.find(':');
            const std::string_view host = authority.substr(0, portColon);
            if (!isValidRegName(host))
                return std::nullopt;
            url.host_ = std::string(host);
            if (portColon != std::string_view::npos) {
                hasPortSeparator = true;
                portText = authority.substr(portColon + 1);
            }
        }
        if (hasPortSeparator) {
            bool ok = true;
            url.port_ = parsePort(portText, ok);
            if (!ok)
                return std::nullopt;
        }
    }
    url.path_ = std::string(rest);

    const bool web = url.scheme_ == "http" || url.scheme_ == "https";
    if (web && (!url.hasAuthority_ || url.host_.empty()))
        return std::nullopt;
    url.compose();
    return url;
}

std::optional<Url> Url::make(std::string_view scheme, std::string_view host,
                             std::optional<int> port, std::string_view path,
                             std::optional<std::string_view> query) {
    if (!path.empty() && path.front() != '/')
        return std::nullopt;
    if (port && (*port < 0 || *port > 65535))
        return std::nullopt;
    std::string text(scheme);
    text += "://";
    if (host.find(':') != std::string_view::npos) {
        text += '[';
        text += host;
        text += ']';
    } else {
        text += host;
    }
    if (port) {
        text += ':';
        text += std::to_string(*port);
    }
    text += path;
    if (query) {
        text += '?';
        text += *query;
    }
    return parse(text);
}

int Url::effectivePort() const {
    if (port_)
        return *port_;
    if (scheme_ == "http")
        return 80;
    if (scheme_ == "https")
        return 443;
    return 0;
}

Url Url::urlByAppendingPathComponent(std::string_view component) const {
    if (!isValid() || component.empty())
        return *this;
    Url url = *this;
    if (url.path_.empty() || url.path_.back() != '/')
        url.path_ += '/';
    url.path_ += percentEncode(component, kPathAllowed);
    url.compose();
    return url;
}

std::string Url::percentEncode(std::string_view text, std::string_view keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (isAlpha(c) || isDigit(c) || keep.find(c) != std::string_view::npos) {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        }
    }
    return out;
}

std::string Url::removeDotSegments(std::string_view input) {
    std::string output;
    output.reserve(input.size());
    // Drops the last segment of the output, with the "/" before it.
    const auto dropLastSegment = [&output] {
        const size_t slash = output.rfind('/');
        output.erase(slash == std::string::npos ? 0 : slash);
    };
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.remove_prefix(3);
            dropLastSegment();
        } else if (input == "/..") {
            input = "/";
            dropLastSegment();
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            // Move the first segment, with its leading "/", to the output.
            const size_t next = input.find('/', input.front() == '/' ? 1 : 0);
            const size_t length = next == std::string_view::npos ? input.size() : next;
            output.append(input.substr(0, length));
            input.remove_prefix(length);
        }
    }
    return output;
}

std::optional<std::string> Url::percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = plat::hexDigitValue(text[i + 1]);
        const int low = plat::hexDigitValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

void Url::compose() {
    std::string text = scheme_ + ":";
    if (hasAuthority_) {
        text += "//";
        if (hasUserInfo_) {
            text += user_;
            if (hasPassword_)
                text += ":" + password_;
            text += '@';
        }
        if (host_.find(':') != std::string::npos) {
            text += "[" + host_ + "]";
        } else {
            text += host_;
        }
        if (port_) {
            text += ':';
            text += std::to_string(*port_);
        }
    }
    text += path_;
    if (query_)
        text += "?" + *query_;
    if (fragment_)
        text += "#" + *fragment_;
    text_ = std::move(text);
}

std::optional<Url> Url::resolve(std::string_view reference, const Url& base) {
    // The reference's parts (RFC 3986 appendix B).
    std::optional<std::string_view> scheme, authority, query, fragment;
    std::string_view rest = reference;
    if (const size_t hash = rest.find('#'); hash != std::string_view::npos) {
        fragment = rest.substr(hash + 1);
        rest = rest.substr(0, hash);
    }
    if (const size_t question = rest.find('?'); question != std::string_view::npos) {
        query = rest.substr(question + 1);
        rest = rest.substr(0, question);
    }
    if (const size_t colon = rest.find(':');
        colon != std::string_view::npos && colon > 0 &&
        rest.substr(0, colon).find('/') == std::string_view::npos) {
        const std::string_view name = rest.substr(0, colon);
        bool valid = std::isalpha(static_cast<unsigned char>(name[0])) != 0;
        for (char c : name)
            valid = valid && (std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' ||
                              c == '.');
        if (valid) {
            scheme = name;
            rest = rest.substr(colon + 1);
        }
    }
    if (rest.substr(0, 2) == "//") {
        const size_t end = std::min(rest.find('/', 2), rest.size());
        authority = rest.substr(2, end - 2);
        rest = rest.substr(end);
    }
    const std::string_view path = rest;

    auto text = [](std::string_view s) { return std::string(s); };
    std::string out;
    std::string targetPath;
    std::optional<std::string> targetQuery;
    if (scheme) {
        out = text(*scheme) + ":" + (authority ? "//" + text(*authority) : "");
        targetPath = removeDotSegments(path);
        if (query)
            targetQuery = text(*query);
    } else {
        if (!base.isValid())
            return std::nullopt;
        out = base.scheme() + ":";
        if (authority) {
            out += "//" + text(*authority);
            targetPath = removeDotSegments(path);
            if (query)
                targetQuery = text(*query);
        } else {
            if (base.hasAuthority()) {
                // The base's authority as written.
                const std::string& whole = base.absoluteString();
                const size_t start = whole.find("//") + 2;
                const size_t end = std::min(whole.find_first_of("/?#", start), whole.size());
                out += "//" + whole.substr(start, end - start);
            }
            if (path.empty()) {
                targetPath = base.path();
                targetQuery = query ? std::optional(text(*query)) : base.query();
            } else {
                if (path.front() == '/') {
                    targetPath = removeDotSegments(path);
                } else {
                    std::string merged;
                    if (base.hasAuthority() && base.path().empty()) {
                        merged = "/" + text(path);
                    } else {
                        const size_t slash = base.path().rfind('/');
                        merged = (slash == std::string::npos ? std::string()
                                                             : base.path().substr(0, slash + 1)) +
                                 text(path);
                    }
                    targetPath = removeDotSegments(merged);
                }
                if (query)
                    targetQuery = text(*query);
            }
        }
    }
    out += targetPath;
    if (targetQuery)
        out += "?" + *targetQuery;
    if (fragment)
        out += "#" + text(*fragment);
    return parse(out);
}

}  // namespace plat
