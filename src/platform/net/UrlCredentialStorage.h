#pragma once
// plat::UrlCredentialStorage: the default credential of each protection space, a server's
// (host, port, protocol, realm, authentication method) or a proxy's (host, port, proxy type,
// realm). Credentials for the session live in memory; permanent ones also go to the keychain
// (one item per protection space, the user name as account), so a new storage finds them
// again. Passwords are never logged.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

#include "platform/core/Ref.h"

namespace plat {

class Keychain;

struct ProtectionSpace {
    std::string host;
    int port = 0;
    std::string protocol;  // "http", "https"; for a proxy its type, "http" or "https"
    std::string realm;
    std::string authenticationMethod = "default";
    bool proxy = false;

    auto key() const { return std::tie(proxy, host, port, protocol, realm, authenticationMethod); }
    friend bool operator<(const ProtectionSpace& a, const ProtectionSpace& b) {
        return a.key() < b.key();
    }
};

struct UrlCredential {
    enum class Persistence { None, ForSession, Permanent };
    std::string user;
    std::string password;
    Persistence persistence = Persistence::ForSession;
    // Answers a server-trust challenge: the server's certificate is accepted as it is.
    bool trustsServer = false;

    static UrlCredential forTrust() {
        UrlCredential credential;
        credential.persistence = Persistence::None;
        credential.trustsServer = true;
        return credential;
    }
};

class UrlCredentialStorage {
  public:
    // A storage over the keychain (the shared one when null).
    explicit UrlCredentialStorage(Ref<Keychain> keychain = nullptr);
    static UrlCredentialStorage& shared();

    // The credential last set as the default for the space; a permanent one from the keychain
    // when none is in memory.
    std::optional<UrlCredential> defaultCredential(const ProtectionSpace& space);
    // Keeps the credential as the space's default: not at all (None), for this storage's life
    // (ForSession), or in the keychain too (Permanent).
    void setDefaultCredential(const UrlCredential& credential, const ProtectionSpace& space);
    // Forgets the space's credential of that user, in memory and in the keychain.
    void removeCredential(const UrlCredential& credential, const ProtectionSpace& space);

  private:
    Ref<Keychain> keychain() const;
    static std::string serviceName(const ProtectionSpace& space);

    Ref<Keychain> keychain_;
    std::mutex mutex_;
    std::map<ProtectionSpace, UrlCredential> defaults_;
};

}  // namespace plat
