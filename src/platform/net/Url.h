#pragma once
// plat::Url: an absolute URL (scheme, user info, host, port, path, query, fragment) parsed from
// text or composed from parts, with the one path operation the services need (append a path
// component) and percent-encoding helpers. Components are kept as written, percent escapes
// included; only the scheme is lower-cased.
#include <optional>
#include <string>
#include <string_view>

namespace plat {

class Url {
  public:
    // An empty URL: isValid() is false.
    Url() = default;

    // Parses absolute URL text ("scheme:[//authority]path[?query][#fragment]"). Answers nothing
    // for text that is not a valid URL: no scheme, spaces, control or non-ASCII characters,
    // broken percent escapes, a bad port, or an http/https URL without a host.
    static std::optional<Url> parse(std::string_view text);
    // Composes a URL from parts; the path must be empty or begin with "/", and the parts must be
    // percent-encoded already. Answers nothing when the result is not a valid URL.
    static std::optional<Url> make(std::string_view scheme, std::string_view host,
                                   std::optional<int> port = std::nullopt,
                                   std::string_view path = {},
                                   std::optional<std::string_view> query = std::nullopt);

    bool isValid() const { return !scheme_.empty(); }
    const std::string& absoluteString() const { return text_; }

    const std::string& scheme() const { return scheme_; }  // lower case
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    const std::string& host() const { return host_; }  // without the brackets of an IPv6 address
    std::optional<int> port() const { return port_; }
    // The port, or the scheme's default (80 for http, 443 for https); 0 when neither is known.
    int effectivePort() const;
    // The path as written, percent escapes included; may be empty.
    const std::string& path() const { return path_; }
    const std::optional<std::string>& query() const { return query_; }
    const std::optional<std::string>& fragment() const { return fragment_; }
    bool hasAuthority() const { return hasAuthority_; }
    bool isHttps() const { return scheme_ == "https"; }

    // This URL with one more path component: a "/" is put between the path and the component
    // unless the path already ends with one. Characters that cannot stand in a path are
    // percent-encoded; query and fragment are kept. An empty component changes nothing.
    Url urlByAppendingPathComponent(std::string_view component) const;

    // A reference (absolute, or relative: "//host/p", "/p", "p", "?q", "#f", "") resolved
    // against a base URL as RFC 3986 section 5.2 says; nothing when the result is not a valid
    // URL.
    static std::optional<Url> resolve(std::string_view reference, const Url& base);

    friend bool operator==(const Url& a, const Url& b) { return a.text_ == b.text_; }

    // Percent-encodes every byte except ASCII letters, digits and the characters in `keep`.
    static std::string percentEncode(std::string_view text, std::string_view keep = "-._~");
    // Decodes %XX escapes; answers nothing for a broken escape.
    static std::optional<std::string> percentDecode(std::string_view text);
    // The path with its "." and ".." segments resolved (RFC 3986 section 5.2.4), as a server
    // sees it: "/a/b/../c/./d" gives "/a/c/d"; ".." never climbs above the root.
    static std::string removeDotSegments(std::string_view path);

    // Characters a path may hold unescaped (besides letters and digits), "/" included.
    static constexpr std::string_view kPathAllowed = "-._~!$&'()*+,;=:@/";
    // Characters a query may hold unescaped (besides letters and digits).
    static constexpr std::string_view kQueryAllowed = "-._~!$&'()*+,;=:@/?";

  private:
    void compose();

    std::string text_;
    std::string scheme_;
    std::string user_;
    std::string password_;
    bool hasUserInfo_ = false;
    bool hasPassword_ = false;
    bool hasAuthority_ = false;
    std::string host_;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

}  // namespace plat
