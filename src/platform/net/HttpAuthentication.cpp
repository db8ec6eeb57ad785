#include "platform/net/HttpAuthentication.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/crypto/Base64.h"
#include "platform/crypto/Digest.h"
#include "platform/crypto/Random.h"
#include "platform/net/NetText.h"

namespace plat {
namespace {

using net_text::asciiLowercase;
using net_text::equalsIgnoringCase;

using net_text::isTokenChar;

bool isToken68Char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-._~+/").find(c) != std::string_view::npos;
}

class ChallengeParser {
  public:
    explicit ChallengeParser(std::string_view text) : text_(text) {}

    std::optional<std::vector<HttpChallenge>> parse() {
        std::vector<HttpChallenge> out;
        for (;;) {
            skip(" \t,");
            if (atEnd())
                return out;
            HttpChallenge challenge;
            challenge.scheme = token();
            if (challenge.scheme.empty())
                return std::nullopt;
            skip(" \t");
            if (!readParams(challenge))
                return std::nullopt;
            out.push_back(std::move(challenge));
        }
    }

  private:
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void skip(std::string_view set) {
        while (!atEnd() && set.find(text_[pos_]) != std::string_view::npos)
            ++pos_;
    }
    std::string token() {
        const size_t start = pos_;
        while (!atEnd() && isTokenChar(text_[pos_]))
            ++pos_;
        return std::string(text_.substr(start, pos_ - start));
    }
    std::optional<std::string> quoted() {
        ++pos_;  // the opening quote
        std::string out;
        while (!atEnd()) {
            const char c = text_[pos_++];
            if (c == '"')
                return out;
            if (c == '\\') {
                if (atEnd())
                    return std::nullopt;
                out += text_[pos_++];
            } else {
                out += c;
            }
        }
        return std::nullopt;
    }
    // True when a name and "=" start here (a parameter, not a new challenge).
    bool paramAhead() {
        const size_t save = pos_;
        const std::string name = token();
        skip(" \t");
        bool param = !name.empty() && peek() == '=';
        if (param) {
            ++pos_;
            skip(" \t");
            param = peek() == '"' || (isTokenChar(peek()) && peek() != '=');
        }
        pos_ = save;
        return param;
    }
    bool readParams(HttpChallenge& challenge) {
        if (atEnd() || peek() == ',')
            return true;
        if (!paramAhead()) {
            // A token68 ("abc==") or nothing.
            const size_t start = pos_;
            while (!atEnd() && isToken68Char(text_[pos_]))
                ++pos_;
            while (!atEnd() && text_[pos_] == '=')
                ++pos_;
            challenge.token68 = std::string(text_.substr(start, pos_ - start));
            skip(" \t");
            return !challenge.token68.empty() && (atEnd() || peek() == ',');
        }
        for (;;) {
            std::string name = token();
            skip(" \t");
            ++pos_;  // "="
            skip(" \t");
            std::optional<std::string> value;
            if (peek() == '"')
                value = quoted();
            else
                value = token();
            if (!value)
                return false;
            challenge.params.emplace_back(asciiLowercase(name), std::move(*value));
            skip(" \t");
            if (atEnd())
                return true;
            if (peek() != ',')
                return false;
            skip(" \t,");
            if (atEnd() || !paramAhead())
                return true;  // the next challenge, or the end
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
};

std::vector<std::string> commaList(std::string_view text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        out.emplace_back(net_text::trim(text.substr(start, comma - start)));
        start = comma + 1;
    }
    return out;
}

std::string quoteEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

std::string hashHex(HttpAuthentication::Scheme scheme, std::string_view text) {
    if (scheme == HttpAuthentication::Scheme::DigestSha256)
        return Digest::hex(Digest::sha256(text));
    return Digest::hex(Digest::md5(text));
}

Ref<Error> authError(int64_t code, std::string text) {
    return Error::withDescription(kCFStreamErrorDomainHTTP, code, std::move(text));
}

}  // namespace

std::optional<std::string> HttpChallenge::param(std::string_view name) const {
    for (const auto& [key, value] : params) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

std::optional<std::vector<HttpChallenge>> parseHttpChallenges(std::string_view value) {
    return ChallengeParser(value).parse();
}

HttpAuthentication::HttpAuthentication(Private, Scheme scheme, HttpChallenge challenge, bool proxy)
    : scheme_(scheme), challenge_(std::move(challenge)), proxy_(proxy) {
    if (scheme_ == Scheme::Ntlm || scheme_ == Scheme::Negotiate)
        invalidCode_ = kCFStreamErrorHTTPAuthenticationTypeUnsupported;
}

Ref<HttpAuthentication> HttpAuthentication::fromResponse(const HttpMessage& response) {
    const bool proxy = response.statusCode() == 407;
    if (!proxy && response.statusCode() != 401)
        return nullptr;
    const std::string field = proxy ? "Proxy-Authenticate" : "Www-Authenticate";
    std::optional<std::pair<Scheme, HttpChallenge>> best, unsupported;
    auto rank = [](Scheme s) { return static_cast<int>(s); };
    for (const auto& [name, value] : response.rawFields()) {
        if (!equalsIgnoringCase(name, field))
            continue;
        const auto challenges = parseHttpChallenges(value);
        if (!challenges)
            continue;
        for (const auto& challenge : *challenges) {
            std::optional<Scheme> scheme;
            if (equalsIgnoringCase(challenge.scheme, "Basic")) {
                scheme = Scheme::Basic;
            } else if (equalsIgnoringCase(challenge.scheme, "Digest")) {
                const std::string algorithm =
                    asciiLowercase(challenge.param("algorithm").value_or("MD5"));
                const auto qop = challenge.param("qop");
                bool qopAuth = !qop;
                if (qop) {
                    for (const auto& option : commaList(*qop))
                        qopAuth = qopAuth || equalsIgnoringCase(option, "auth");
                }
                if (!challenge.param("nonce") || !challenge.param("realm") || !qopAuth)
                    continue;
                if (algorithm == "md5" || algorithm == "md5-sess")
                    scheme = Scheme::DigestMd5;
                else if (algorithm == "sha-256" || algorithm == "sha-256-sess")
                    scheme = Scheme::DigestSha256;
                else
                    continue;
            } else if (equalsIgnoringCase(challenge.scheme, "NTLM") ||
                       equalsIgnoringCase(challenge.scheme, "Negotiate")) {
                if (!unsupported)
                    unsupported.emplace(equalsIgnoringCase(challenge.scheme, "NTLM")
                                            ? Scheme::Ntlm
                                            : Scheme::Negotiate,
                                        challenge);
                continue;
            }
            if (scheme && (!best || rank(*scheme) > rank(best->first)))
                best.emplace(*scheme, challenge);
        }
    }
    if (!best)
        best = unsupported;
    if (!best)
        return nullptr;
    return std::make_shared<HttpAuthentication>(Private{}, best->first, std::move(best->second),
                                                proxy);
}

std::string HttpAuthentication::method() const {
    switch (scheme_) {
        case Scheme::Basic:
            return "Basic";
        case Scheme::DigestMd5:
        case Scheme::DigestSha256:
            return "Digest";
        case Scheme::Ntlm:
            return "NTLM";
        case Scheme::Negotiate:
            return "Negotiate";
    }
    return {};
}

std::string HttpAuthentication::realm() const {
    std::lock_guard lock(mutex_);
    return challenge_.param("realm").value_or("");
}

bool HttpAuthentication::requiresUserNameAndPassword() const {
    return scheme_ != Scheme::Negotiate;
}

bool HttpAuthentication::requiresAccountDomain() const {
    return scheme_ == Scheme::Ntlm;
}

bool HttpAuthentication::isValid(Ref<Error>* error) const {
    std::lock_guard lock(mutex_);
    if (invalidCode_ == 0)
        return true;
    if (error) {
        *error =
            authError(invalidCode_, invalidCode_ == kCFStreamErrorHTTPAuthenticationTypeUnsupported
                                        ? "The server asks for an authentication scheme (" +
                                              method() + ") that is not supported."
                                        : "The user name or password was not accepted.");
    }
    return false;
}

bool HttpAuthentication::applyCredentials(HttpMessage& request, const Credentials& credentials,
                                          Ref<Error>* error) {
    if (!isValid(error))
        return false;
    std::string value;
    {
        std::lock_guard lock(mutex_);
        if (scheme_ == Scheme::Basic) {
            value = "Basic " + Base64::encode(credentials.user + ":" + credentials.password);
        } else {
            const std::string realm = challenge_.param("realm").value_or("");
            const std::string nonce = challenge_.param("nonce").value_or("");
            const std::string algorithm = challenge_.param("algorithm").value_or("");
            const bool session = asciiLowercase(algorithm).ends_with("-sess");
            const bool qop = challenge_.param("qop").has_value();
            std::array<uint8_t, 12> random{};
            Random::fill(random);
            const std::string cnonce = Digest::hex(random);
            char count[9];
            std::snprintf(count, sizeof count, "%08x", ++nonceCount_);
            const Url& url = request.url();
            std::string uri = url.path().empty() ? "/" : url.path();
            if (url.query())
                uri += "?" + *url.query();
            std::string ha1 =
                hashHex(scheme_, credentials.user + ":" + realm + ":" + credentials.password);
            if (session)
                ha1 = hashHex(scheme_, ha1 + ":" + nonce + ":" + cnonce);
            const std::string ha2 = hashHex(scheme_, request.method() + ":" + uri);
            const std::string response = qop ? hashHex(scheme_, ha1 + ":" + nonce + ":" + count +
                                                                    ":" + cnonce + ":auth:" + ha2)
                                             : hashHex(scheme_, ha1 + ":" + nonce + ":" + ha2);
            value = "Digest username=\"" + quoteEscaped(credentials.user) + "\", realm=\"" +
                    quoteEscaped(realm) + "\", nonce=\"" + quoteEscaped(nonce) + "\", uri=\"" +
                    quoteEscaped(uri) + "\", response=\"" + response + "\"";
            if (!algorithm.empty())
                value += ", algorithm=" + algorithm;
            if (qop)
                value += std::string(", qop=auth, nc=") + count + ", cnonce=\"" + cnonce + "\"";
            if (auto opaque = challenge_.param("opaque"))
                value += ", opaque=\"" + quoteEscaped(*opaque) + "\"";
        }
        applied_ = true;
    }
    request.setHeaderFieldValue(proxy_ ? "Proxy-Authorization" : "Authorization", value);
    request.setAppliedAuthentication(weak_from_this(), proxy_);
    return true;
}

void HttpAuthentication::updateFromResponse(const HttpMessage& response) {
    if (response.statusCode() != (proxy_ ? 407 : 401))
        return;
    std::lock_guard lock(mutex_);
    if (!applied_ || invalidCode_ != 0)
        return;
    if (scheme_ == Scheme::DigestMd5 || scheme_ == Scheme::DigestSha256) {
        const std::string field = proxy_ ? "Proxy-Authenticate" : "Www-Authenticate";
        for (const auto& [name, value] : response.rawFields()) {
            if (!equalsIgnoringCase(name, field))
                continue;
            for (const auto& challenge :
                 parseHttpChallenges(value).value_or(std::vector<HttpChallenge>{})) {
                if (equalsIgnoringCase(challenge.scheme, "Digest") && challenge.param("nonce") &&
                    equalsIgnoringCase(challenge.param("stale").value_or(""), "true")) {
                    challenge_ = challenge;  // the same credentials, a fresh nonce
                    nonceCount_ = 0;
                    return;
                }
            }
        }
    }
    invalidCode_ = kCFStreamErrorHTTPAuthenticationBadPassword;
}

}  // namespace plat
