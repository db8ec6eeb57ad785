#pragma once
// plat::HttpAuthentication: the answer to a server's (401) or proxy's (407) challenge.
// - fromResponse picks the strongest challenge offered that we can answer: Digest SHA-256, then
//   Digest MD5 (both with their "-sess" forms, RFC 7616, qop "auth" or none), then Basic. A
//   response offering only NTLM or Negotiate gives an object that is not valid (-1000: not
//   supported), so the engine gives up at once; no challenge at all, or only malformed ones,
//   gives none.
// - applyCredentials writes "Authorization" (or "Proxy-Authorization") into the request and
//   ties the request to this object: when the read stream sees the next response of that
//   request challenge again, the credentials were rejected and the object is no longer valid
//   (-1002), unless a Digest server only says that its nonce went stale ("stale=true"): then the
//   object takes the new nonce and stays valid.
// Errors are in kCFStreamErrorDomainHTTP. Passwords are never logged or kept here.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Error.h"
#include "platform/net/HttpMessage.h"

namespace plat {

inline constexpr const char* kCFStreamErrorDomainHTTP = "kCFStreamErrorDomainHTTP";
inline constexpr int64_t kCFStreamErrorHTTPAuthenticationTypeUnsupported = -1000;
inline constexpr int64_t kCFStreamErrorHTTPAuthenticationBadUserName = -1001;
inline constexpr int64_t kCFStreamErrorHTTPAuthenticationBadPassword = -1002;

// One challenge of a WWW-Authenticate or Proxy-Authenticate field: the scheme, its parameters
// (names in lower case) or its token68.
struct HttpChallenge {
    std::string scheme;
    std::vector<std::pair<std::string, std::string>> params;
    std::string token68;
    std::optional<std::string> param(std::string_view name) const;
};
// The challenges of one field value, in order; none when the value is malformed.
std::optional<std::vector<HttpChallenge>> parseHttpChallenges(std::string_view value);

class HttpAuthentication : public std::enable_shared_from_this<HttpAuthentication> {
  public:
    struct Credentials {
        std::string user;
        std::string password;
        std::string domain;  // account domain (NTLM only)
    };

    static Ref<HttpAuthentication> fromResponse(const HttpMessage& response);

    // "Basic", "Digest", "NTLM" or "Negotiate".
    std::string method() const;
    std::string realm() const;
    bool isProxy() const { return proxy_; }
    bool requiresUserNameAndPassword() const;
    bool requiresAccountDomain() const;
    bool isValid(Ref<Error>* error = nullptr) const;

    // False, with the error, when this object cannot answer (not valid, or not supported).
    bool applyCredentials(HttpMessage& request, const Credentials& credentials,
                          Ref<Error>* error = nullptr);
    // The next response of a request this object answered (the read stream calls it).
    void updateFromResponse(const HttpMessage& response);

    enum class Scheme { Basic, DigestMd5, DigestSha256, Ntlm, Negotiate };
    struct Private {};
    HttpAuthentication(Private, Scheme scheme, HttpChallenge challenge, bool proxy);

  private:
    mutable std::mutex mutex_;
    Scheme scheme_;
    HttpChallenge challenge_;
    bool proxy_;
    bool applied_ = false;
    int64_t invalidCode_ = 0;  // 0 while valid
    uint32_t nonceCount_ = 0;
};

}  // namespace plat
