#pragma once
// VnServiceSessionContext: the token context of the version-3 store service: the application
// code, the session token ("guest" before anyone signs in), the test-account flag and the token
// version (always "2"). Every store call sends it as headers, and most calls also carry it in the
// body under "tokenContext", written as {"TokenVersion", "TokenKey", "AppCode", "IsTestUser"}.
#include <optional>
#include <string>

#include "vnlib/info/VnInfoBase.h"

class VnServiceSessionContext : public VnInfoBase {
    PLAT_CLASS(VnServiceSessionContext)
  public:
    static constexpr const char* kTokenVersion = "2";
    static constexpr const char* kGuestToken = "guest";

    VnServiceSessionContext() = default;
    VnServiceSessionContext(std::optional<std::string> appCode,
                            std::optional<std::string> sessionToken, bool isTestUser = false)
        : tokenKey_(std::move(sessionToken)),
          appCode_(std::move(appCode)),
          isTestUser_(isTestUser) {}

    // The guest context of an application: token "guest", not a test user.
    static Ref<VnServiceSessionContext> defaultContextWithAppCode(
        std::optional<std::string> appCode);

    std::string tokenVersion() const { return kTokenVersion; }
    const std::optional<std::string>& tokenKey() const { return tokenKey_; }
    void setTokenKey(std::optional<std::string> token) { tokenKey_ = std::move(token); }
    void updateNewToken(std::optional<std::string> token) { setTokenKey(std::move(token)); }
    const std::optional<std::string>& appCode() const { return appCode_; }
    bool isTestUser() const { return isTestUser_; }

    // The context without its token, which is a secret.
    std::string description() const override;

  private:
    std::optional<std::string> tokenKey_;
    std::optional<std::string> appCode_;
    bool isTestUser_ = false;
};
