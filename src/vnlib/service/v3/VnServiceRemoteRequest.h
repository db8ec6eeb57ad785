#pragma once
// Version-3 calls. A VnServiceRemoteRequest posts one web method of the store service at once
// (there is no session step), sending the token context as the headers "TokenVersion",
// "Authorization" (Token token="...") and "Varnel-AppCode", and maps the answer: a dictionary
// becomes one return-value record, a list a list of them (nulls skipped, plain values wrapped as
// {"Code": value}), any other value is passed on as it is. The caller's custom parameters are
// merged into a request dictionary before it is sent. VnServiceCommonRequest is the concrete
// call: a web method, a request object and the class of the return value.
#include <string>

#include "vnlib/service/v3/VnServiceConnection.h"
#include "vnlib/service/v3/VnServiceSessionContext.h"

class VnServiceRemoteRequest : public VnRequestContext {
    PLAT_CLASS(VnServiceRemoteRequest)
  public:
    // The connection is required; without a context the call sends no token headers.
    VnServiceRemoteRequest(Ref<VnServiceConnection> connection,
                           Ref<VnServiceSessionContext> sessionContext);

    const Ref<VnServiceConnection>& serviceConnection() const { return serviceConnection_; }
    // The context taken at construction; a later change of the store session's context does not
    // reach this call.
    const Ref<VnServiceSessionContext>& sessionContext() const { return sessionContext_; }
    // The running transport request; none before start and after the finish or a cancel.
    const Ref<VnJsonWebRequest>& remoteRequest() const { return remoteRequest_; }

    // Supplied by subclasses; here they raise "VnMethodNotImplementedException".
    virtual std::string coreWebMethod() const;
    virtual plat::Value coreRequestObject() const;
    virtual plat::Value coreReturnValueWithJsonDictionary(
        const Ref<plat::Dictionary>& dictionary) const;
    // What is sent for a request object; the object itself by default.
    virtual plat::Value webParamsWithRequestObject(const plat::Value& requestObject) const {
        return requestObject;
    }
    // The request body: a request dictionary with the custom parameters merged in; any other
    // request object as it is.
    virtual plat::Value webMethodParams() const;
    // The token headers of the context; empty without a context. A missing value is left out.
    virtual Ref<plat::Dictionary> webHeaderParams() const;
    // Maps a successful transport answer to the return value.
    plat::Value mapReturnValue(const plat::Value& answer) const;

    void webmethod_request_didFinishWithResult(Ref<VnRequestContext> request,
                                               Ref<VnRequestResult> result);

  protected:
    void coreStart() override { coreRemoteRequestStart(); }
    void coreCancel() override;
    virtual void coreRemoteRequestStart();

  private:
    Ref<VnServiceConnection> serviceConnection_;
    Ref<VnServiceSessionContext> sessionContext_;
    Ref<VnJsonWebRequest> remoteRequest_;
};

class VnServiceCommonRequest : public VnServiceRemoteRequest {
    PLAT_CLASS(VnServiceCommonRequest)
  public:
    // The web method must not be empty. Without a return-value class a dictionary answer maps to
    // nothing, while a bare number, text or boolean answer passes unchanged.
    VnServiceCommonRequest(Ref<VnServiceConnection> connection,
                           Ref<VnServiceSessionContext> sessionContext, std::string webMethod,
                           plat::Value requestObject, const plat::Class* returnValueClass);

    const std::string& webMethod() const { return webMethod_; }
    const plat::Value& requestObject() const { return requestObject_; }
    const plat::Class* returnValueClass() const { return returnValueClass_; }

    std::string coreWebMethod() const override { return webMethod_; }
    plat::Value coreRequestObject() const override {
        return coreTransformRequestObject(requestObject_);
    }
    virtual plat::Value coreTransformRequestObject(const plat::Value& object) const {
        return object;
    }
    // A new record of the return-value class loaded from the dictionary; nothing without a class.
    plat::Value coreReturnValueWithJsonDictionary(
        const Ref<plat::Dictionary>& dictionary) const override;

  private:
    std::string webMethod_;
    plat::Value requestObject_;
    const plat::Class* returnValueClass_;
};
