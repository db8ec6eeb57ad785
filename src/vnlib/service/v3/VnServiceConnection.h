#pragma once
// VnServiceConnection: where the version-3 store service lives. It keeps the service URL and
// makes unstarted JSON transport requests for it, optionally with extra HTTP headers (every
// store call sends its token headers this way).
#include <string>

#include "vnlib/dev/web/VnJsonWebRequest.h"

class VnServiceConnection : public plat::Object {
    PLAT_CLASS(VnServiceConnection)
  public:
    // An invalid (empty) URL is accepted: calls made on it fail when they start.
    explicit VnServiceConnection(plat::Url serviceURL) : serviceURL_(std::move(serviceURL)) {}

    const plat::Url& serviceURL() const { return serviceURL_; }

    // A new, unstarted transport request posting the request object to the web method.
    Ref<VnJsonWebRequest> requestWithWebMethod(const std::string& webMethod,
                                               const plat::Value& requestObject) const;
    // The same with extra headers (header name to value).
    Ref<VnJsonWebRequest> requestWithWebMethod(const std::string& webMethod,
                                               const plat::Value& requestObject,
                                               const Ref<plat::Dictionary>& headerObject) const;

  private:
    plat::Url serviceURL_;
};
