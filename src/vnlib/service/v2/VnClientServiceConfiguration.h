#pragma once
// VnClientServiceConfiguration: the client's identity towards the version-2 service (the request
// object of "RequestSessionID"): authorization token, application code, the device identifier as
// machine id, the store service URL, and the application version among its optional parameters.
#include "vnlib/service/params/VnClientServiceParams.h"

class VnClientServiceConfiguration : public VnClientServiceParams {
    PLAT_CLASS(VnClientServiceConfiguration)
  public:
    VnClientServiceConfiguration();
    // Reads "AuthorizationToken", "AppCode" and "StoreServiceURL" as text.
    void initWithDictionary(const Ref<plat::Dictionary>& dictionary) override;

    const std::optional<std::string>& authorizationToken() const { return authorizationToken_; }
    void setAuthorizationToken(std::optional<std::string> token) {
        authorizationToken_ = std::move(token);
    }
    const std::optional<std::string>& appCode() const { return appCode_; }
    void setAppCode(std::optional<std::string> code) { appCode_ = std::move(code); }
    const std::string& machineID() const { return machineID_; }
    const std::optional<std::string>& storeServiceURL() const { return storeServiceURL_; }
    void setStoreServiceURL(std::optional<std::string> url) { storeServiceURL_ = std::move(url); }

  private:
    std::optional<std::string> authorizationToken_;
    std::optional<std::string> appCode_;
    std::string machineID_;
    std::optional<std::string> storeServiceURL_;
};
