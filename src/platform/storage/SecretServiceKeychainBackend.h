#pragma once
// A keychain backend over the freedesktop Secret Service (GNOME Keyring, KWallet, ...) through
// libsecret. Items use the schema "org.varnel.GenericPassword" with the attributes account,
// service and access-group (the identity), and label, description, accessible and generic when
// set; the secret is stored as binary data. Nothing here ever logs a secret.
#include "platform/storage/KeychainBackend.h"

namespace plat {

class SecretServiceKeychainBackend : public KeychainBackend {
  public:
    // Whether a Secret Service is reachable: a session bus exists and the service's name is
    // owned or activatable there. Answers quickly (bounded D-Bus time-outs) and never starts a bus.
    static bool isAvailable();

    const char* name() const override { return "secret-service"; }
    OSStatus find(const KeychainFilter& filter, std::vector<KeychainItem>& out) override;
    OSStatus apply(const std::vector<KeychainItemKey>& remove,
                   const std::vector<KeychainItem>& store) override;
};

}  // namespace plat
