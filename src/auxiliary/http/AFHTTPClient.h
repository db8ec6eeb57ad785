#pragma once
// AFHTTPClient: requests relative to one base URL. Parameters go into the query for GET, HEAD
// and DELETE and into the body otherwise (form-encoded, JSON or an XML property list); multipart
// bodies are streamed. Default headers ("Accept-Language" from the user's languages,
// "User-Agent", authorization) go on every request. Operations are made of the first registered
// class that can process the request, and run on the client's own queue, alone or in batches
// with progress and one completion on the main thread. Archivable and copyable.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "auxiliary/http/AFQueryStringPair.h"
#include "auxiliary/http/AFStreamingMultipartFormData.h"
#include "external/AFHTTPRequestOperation.h"
#include "platform/runloop/OperationQueue.h"
#include "platform/storage/KeyedArchive.h"

enum AFHTTPClientParameterEncoding : int32_t {
    AFFormURLParameterEncoding = 0,
    AFJSONParameterEncoding = 1,
    AFPropertyListParameterEncoding = 2,
};

// Standard Base64 of the text's UTF-8 bytes, no line breaks.
std::string AFBase64EncodedStringFromString(const std::string& string);

class AFHTTPClient : public plat::Object, public plat::Coding {
    PLAT_CLASS(AFHTTPClient)
  public:
    using SuccessBlock = AFHTTPRequestOperation::SuccessBlock;
    using FailureBlock = AFHTTPRequestOperation::FailureBlock;
    using ProgressBlock = std::function<void(uint64_t finished, uint64_t total)>;
    using BatchCompletionBlock =
        std::function<void(const std::vector<Ref<AFHTTPRequestOperation>>&)>;
    using BodyBlock = std::function<void(AFMultipartFormData&)>;

    // Made by class name for unarchiving only; clients are made with a base URL. Until then
    // building, enqueueing or cancelling requests raises as init() does.
    AFHTTPClient() = default;
    static Ref<AFHTTPClient> clientWithBaseURL(const plat::Url& url);
    // Refused: raises NSInternalInconsistencyException, a client needs its base URL.
    [[noreturn]] void init() const;
    virtual void initWithBaseURL(const plat::Url& url);

    std::string description() const override;

    bool registerHTTPOperationClass(const plat::Class& operationClass);
    void unregisterHTTPOperationClass(const plat::Class& operationClass);

    std::optional<std::string> defaultValueForHeader(const std::string& header) const;
    void setDefaultHeader(const std::string& header, std::optional<std::string> value);
    void setAuthorizationHeaderWithUsername(const std::string& username,
                                            const std::string& password);
    void setAuthorizationHeaderWithToken(const std::string& token);
    void clearAuthorizationHeader();

    plat::UrlRequest requestWithMethod(const std::string& method,
                                       const std::optional<std::string>& path,
                                       const plat::Value& parameters);
    plat::UrlRequest multipartFormRequestWithMethod(const std::string& method,
                                                    const std::optional<std::string>& path,
                                                    const plat::Value& parameters,
                                                    const BodyBlock& block);

    Ref<AFHTTPRequestOperation> HTTPRequestOperationWithRequest(const plat::UrlRequest& request,
                                                                SuccessBlock success,
                                                                FailureBlock failure);
    void enqueueHTTPRequestOperation(const Ref<AFHTTPRequestOperation>& operation);
    void cancelAllHTTPOperationsWithMethod(const std::optional<std::string>& method,
                                           const std::optional<std::string>& path);
    void enqueueBatchOfHTTPRequestOperationsWithRequests(
        const std::vector<plat::UrlRequest>& requests, ProgressBlock progress,
        BatchCompletionBlock completion);
    void enqueueBatchOfHTTPRequestOperations(
        const std::vector<Ref<AFHTTPRequestOperation>>& operations, ProgressBlock progress,
        BatchCompletionBlock completion);

    void getPath(const std::string& path, const plat::Value& parameters, SuccessBlock success,
                 FailureBlock failure);
    void postPath(const std::string& path, const plat::Value& parameters, SuccessBlock success,
                  FailureBlock failure);
    void putPath(const std::string& path, const plat::Value& parameters, SuccessBlock success,
                 FailureBlock failure);
    void deletePath(const std::string& path, const plat::Value& parameters, SuccessBlock success,
                    FailureBlock failure);
    void patchPath(const std::string& path, const plat::Value& parameters, SuccessBlock success,
                   FailureBlock failure);

    void encodeWithCoder(plat::KeyedCoder& coder) const override;
    bool initWithCoder(const plat::KeyedCoder& coder) override;
    Ref<AFHTTPClient> copyWithZone() const;

    const plat::Url& baseURL() const { return baseURL_; }
    uint64_t stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(uint64_t encoding) { stringEncoding_ = encoding; }
    int32_t parameterEncoding() const { return parameterEncoding_; }
    void setParameterEncoding(int32_t encoding) { parameterEncoding_ = encoding; }
    const Ref<plat::OperationQueue>& operationQueue() const { return operationQueue_; }
    bool allowsInvalidSSLCertificate() const { return allowsInvalidSSLCertificate_; }
    void setAllowsInvalidSSLCertificate(bool allows) { allowsInvalidSSLCertificate_ = allows; }
    const std::vector<std::string>& registeredHTTPOperationClassNames() const {
        return classNames_;
    }
    const std::vector<std::pair<std::string, std::string>>& defaultHeaders() const {
        return defaultHeaders_;
    }
    const std::optional<plat::UrlCredential>& defaultCredential() const {
        return defaultCredential_;
    }
    void setDefaultCredential(std::optional<plat::UrlCredential> credential) {
        defaultCredential_ = std::move(credential);
    }

  private:
    // Raises as init() does unless the client was made with a base URL or unarchived.
    void requireBaseURL() const;
    void enqueueWithMethod(const std::string& method, const std::string& path,
                           const plat::Value& parameters, SuccessBlock success,
                           FailureBlock failure);

    plat::Url baseURL_;
    uint64_t stringEncoding_ = 4;
    int32_t parameterEncoding_ = AFFormURLParameterEncoding;
    Ref<plat::OperationQueue> operationQueue_;
    bool allowsInvalidSSLCertificate_ = false;
    std::vector<std::string> classNames_;
    std::vector<std::pair<std::string, std::string>> defaultHeaders_;  // in the order set
    std::optional<plat::UrlCredential> defaultCredential_;
};
