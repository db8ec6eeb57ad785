#pragma once
// Version-2 calls. A VnClientServiceRemoteRequest first makes sure the service session exists
// (the session's shared session step) and then posts one web method through the JSON transport,
// mapping the answer: a dictionary becomes one return-value object, a list a list of them (nulls
// skipped, plain values wrapped as {"Code": value}), any other value is passed as it is.
// VnClientServiceCommonRequest is the usual concrete call: a web method, a request object and the
// class of the return value.
#include <functional>
#include <optional>
#include <string>

#include "vnlib/dev/web/VnJsonWebRequest.h"

class VnClientServiceSession;

inline constexpr const char* VnMethodNotImplementedException = "VnMethodNotImplementedException";

class VnClientServiceRemoteRequest : public VnRequestContext {
    PLAT_CLASS(VnClientServiceRemoteRequest)
  public:
    // The session is not owned: it outlives its requests.
    explicit VnClientServiceRemoteRequest(const Ref<VnClientServiceSession>& session);

    Ref<VnClientServiceSession> session() const { return session_.lock(); }

    // Supplied by subclasses; the base raises "VnMethodNotImplementedException".
    virtual std::string coreWebMethod() const;
    virtual plat::Value coreRequestObject() const;
    virtual plat::Value coreReturnValueWithJsonDictionary(
        const Ref<plat::Dictionary>& dictionary) const;
    // What is sent for a request object; the object itself by default.
    virtual plat::Value webParamsWithRequestObject(const plat::Value& requestObject) const {
        return requestObject;
    }
    // The parameters actually sent: a request dictionary gets the custom parameters merged in.
    plat::Value webMethodParams() const;
    // The web call sends exactly this Cookie header and leaves the cookie store alone.
    void setFixedCookieHeader(std::optional<std::string> header) {
        fixedCookies_ = true;
        cookieHeader_ = std::move(header);
    }
    // Maps the transport's answer to the return value.
    plat::Value mapReturnValue(const plat::Value& answer) const;
    // A check of the return value before the request finishes with it: a text it answers makes
    // the request fail with that message instead (a record that lacks what its owner needs).
    using ReturnValueCheck = std::function<std::optional<std::string>(const plat::Value&)>;
    void setReturnValueCheck(ReturnValueCheck check) { returnValueCheck_ = std::move(check); }

    void session_request_didFinishWithResult(Ref<VnRequestContext> request,
                                             Ref<VnRequestResult> result);
    void webmethod_request_didFinishWithResult(Ref<VnRequestContext> request,
                                               Ref<VnRequestResult> result);

  protected:
    void coreStart() override;
    void coreCancel() override;
    void coreRemoteRequestStart();

  private:
    WeakRef<VnClientServiceSession> session_;
    Ref<VnJsonWebRequest> remoteRequest_;
    Ref<VnRequestContext> sessionRequest_;
    bool fixedCookies_ = false;
    std::optional<std::string> cookieHeader_;
    ReturnValueCheck returnValueCheck_;
};

class VnClientServiceCommonRequest : public VnClientServiceRemoteRequest {
    PLAT_CLASS(VnClientServiceCommonRequest)
  public:
    // A web method is required; the return-value class may be null.
    VnClientServiceCommonRequest(const Ref<VnClientServiceSession>& session, std::string webMethod,
                                 plat::Value requestObject, const plat::Class* returnValueClass);

    const std::string& webMethod() const { return webMethod_; }
    const plat::Class* returnValueClass() const { return returnValueClass_; }
    const plat::Value& requestObject() const { return requestObject_; }

    std::string coreWebMethod() const override { return webMethod_; }
    plat::Value coreRequestObject() const override {
        return coreTransformRequestObject(requestObject_);
    }
    // Turns the request object into what is sent (credentials into hashed parameters, ...).
    virtual plat::Value coreTransformRequestObject(const plat::Value& object) const {
        return object;
    }
    // A new object of the return-value class loaded from the dictionary; nil without a class.
    plat::Value coreReturnValueWithJsonDictionary(
        const Ref<plat::Dictionary>& dictionary) const override;

  private:
    std::string webMethod_;
    const plat::Class* returnValueClass_;
    plat::Value requestObject_;
};
