#pragma once
// VnUserAuthenticationInfo: a user's sign-in credentials for the version-2 service: the user name
// and a stored password hash (never the clear password), the account's hash method and salt, an
// administrator signing in for the user, or a single-sign-on access token. The sign-in request
// hashes the stored hash once more with the session id or the salt before it is sent.
//
// Hash forms (texts joined as shown):
//   standard stored hash   Base64(SHA-256(password + "|" + lower-cased user name))
//   method-2 stored hash   lower-case hex MD5(password)
//   session-salted hash    Base64(SHA-256(stored hash + "|" + text))
//   method-2 session hash  lower-case hex MD5(user name + stored hash + salt)
//
//   auto info = VnUserAuthenticationInfo::infoWithUserNamePassword("somchai@example.com", "pw");
//   info->tokenHashedPassword(sessionId);
//
// Written as a parameter record: its property names are the keys ("username", "hashedPassword",
// "adminUsername", "authorizationCode", "isDefaultUser", "authenticationMethod", "salt", "token",
// "optionalParams").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vnlib/service/params/VnClientServiceParams.h"

class VnUserAuthenticationInfo : public VnClientServiceParams {
    PLAT_CLASS(VnUserAuthenticationInfo)
  public:
    // The account hash methods the service names.
    static constexpr int32_t kStandardMethod = 1;
    static constexpr int32_t kMD5Method = 2;

    VnUserAuthenticationInfo() = default;

    // ---- Construction (on a freshly made record) ----
    // Stores the standard hash of the password.
    void initWithUserNamePassword(std::string userName, std::string_view password);
    // A single-sign-on sign-in: an empty stored hash and the access token.
    void initWithUserNameAuthorizationCode(std::string userName, std::string authorizationCode);
    // Stores the given hash as it is.
    void initWithUserNameHashedPassword(std::string userName, std::string hashedPassword);
    // An administrator signing in for the user: the password is hashed with the administrator's
    // name when one is given, else with the user name.
    void initWithUserName(std::string userName, std::string_view password,
                          std::optional<std::string> adminUsername);

    static Ref<VnUserAuthenticationInfo> infoWithUserNameHashedPassword(std::string userName,
                                                                        std::string hashedPassword);
    // With the account's method and salt; the method also goes into the optional parameter "mode".
    static Ref<VnUserAuthenticationInfo> infoWithUserNameHashedPassword(
        std::string userName, std::string hashedPassword, int32_t authenticationMethod,
        std::optional<std::string> salt);
    static Ref<VnUserAuthenticationInfo> infoWithUserNamePassword(std::string userName,
                                                                  std::string_view password);
    // The password is hashed by the account's method (hashPassword with salt and method).
    static Ref<VnUserAuthenticationInfo> infoWithUserNamePassword(std::string userName,
                                                                  std::string_view password,
                                                                  int32_t authenticationMethod,
                                                                  std::optional<std::string> salt);
    // The anonymous user of this device, made from the device identifier. A missing identifier
    // is a programming error.
    static Ref<VnUserAuthenticationInfo> infoWithDeviceId(
        const std::optional<std::string>& deviceId);

    // ---- Hash forms ----
    // The standard stored hash.
    static std::string hashPassword(std::string_view password, std::string_view userName);
    // The method-2 stored hash: the user name and the salt do not enter it.
    static std::string vtcHashPassword(std::string_view password, std::string_view userName,
                                       std::string_view salt);
    // The method-2 hash for method 2, the standard hash for any other method.
    static std::string hashPassword(std::string_view password, std::string_view userName,
                                    std::string_view salt, int32_t authenticationMethod);
    // The session-salted hash of the stored hash with the text.
    std::string tokenHashedPassword(std::string_view text) const;
    // The method-2 session hash with the salt.
    std::string vtcHashPasswordWithSalt(std::string_view salt) const;
    // vtcHashPasswordWithSalt for method 2, else tokenHashedPassword of the salt.
    std::string hashPasswordWithSalt(std::string_view salt) const;

    // ---- Properties (read-only) ----
    const std::string& username() const { return username_; }
    const std::string& hashedPassword() const { return hashedPassword_; }
    const std::optional<std::string>& adminUsername() const { return adminUsername_; }
    const std::optional<std::string>& authorizationCode() const { return authorizationCode_; }
    // Whether the user name is that of a device user.
    bool isDefaultUser() const;
    int32_t authenticationMethod() const { return authenticationMethod_; }
    const std::optional<std::string>& salt() const { return salt_; }
    // The access token: the authorization code.
    const std::optional<std::string>& token() const { return authorizationCode_; }

    // Names the user and the method only: the hash and the token stay out of logs.
    std::string description() const override;

  private:
    void setMethodAndSalt(int32_t authenticationMethod, std::optional<std::string> salt);

    std::string username_;
    std::string hashedPassword_;
    std::optional<std::string> adminUsername_;
    std::optional<std::string> authorizationCode_;
    int32_t authenticationMethod_ = kStandardMethod;
    std::optional<std::string> salt_;
};

// The service's fixed texts of the anonymous device user: the e-mail suffix of its user name and
// the marker that its password is made with.
inline constexpr const char* VnDeviceUserNameSuffix = "@device.varnel.app";
inline constexpr const char* VnDeviceAccountMarker = "device-account@varnel.app";

// The text in lower case (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters), as the
// service lower-cases user names; other characters are kept.
std::string VnLowercaseUserName(std::string_view text);
