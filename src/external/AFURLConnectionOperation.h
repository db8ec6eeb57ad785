#pragma once
// AFURLConnectionOperation: a concurrent operation that runs one URL connection for one request
// on the operations' shared network thread, writes the body into an output stream (memory by
// default) and finishes with the response data or an error.
//  - States: -1 paused, 1 ready, 2 executing, 3 finished; refused transitions are ignored. The
//    queue hears every change ("isReady", "isExecuting", "isFinished", "isPaused").
//  - cancel: -999 in NSURLErrorDomain with the failing URL; a cancelled operation still passes
//    through executing and finishes. pause keeps the body received so far; resume starts again
//    (subclasses may have made the request ranged).
//  - The start and finish notifications go to the default centre on the main thread.
//  - Blocks: upload and download progress (on the main thread), authentication, redirects and
//    caching (on the network thread). The completion block runs once and is then released.
//  - Archived with plat::KeyedArchiver (a paused or executing operation is stored ready) and
//    copied with copyWithZone (the request, the blocks and the trust setting).
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "platform/net/UrlConnection.h"
#include "platform/runloop/Lock.h"
#include "platform/runloop/Operation.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/Thread.h"
#include "platform/storage/KeyedArchive.h"
#include "platform/storage/OutputStream.h"

// The prefix of the operations' lock, notification and queue names.
inline constexpr const char* AFNetworkingNamePrefix = "com.varnel";
extern const char* const AFNetworkingOperationDidStartNotification;
extern const char* const AFNetworkingOperationDidFinishNotification;

// A request or a response carried as an object (in error user info).
class AFURLRequestObject : public plat::Object {
    PLAT_CLASS(AFURLRequestObject)
  public:
    AFURLRequestObject() = default;
    explicit AFURLRequestObject(plat::UrlRequest request) : request(std::move(request)) {}
    plat::UrlRequest request;
};
class AFURLResponseObject : public plat::Object {
    PLAT_CLASS(AFURLResponseObject)
  public:
    AFURLResponseObject() = default;
    explicit AFURLResponseObject(plat::HttpUrlResponse response) : response(std::move(response)) {}
    plat::HttpUrlResponse response;
};

class AFURLConnectionOperation : public plat::Operation,
                                 public plat::UrlConnectionDelegate,
                                 public plat::Coding {
    PLAT_CLASS(AFURLConnectionOperation)
  public:
    enum State : int16_t { Paused = -1, Ready = 1, Executing = 2, Finished = 3 };

    using UploadProgressBlock = std::function<void(int64_t, int64_t, int64_t)>;
    using DownloadProgressBlock = std::function<void(int64_t, int64_t, int64_t)>;
    using AuthenticationAgainstProtectionSpaceBlock =
        std::function<bool(plat::UrlConnection&, const plat::ProtectionSpace&)>;
    using AuthenticationChallengeBlock =
        std::function<void(plat::UrlConnection&, const plat::UrlAuthenticationChallenge&)>;
    using CacheResponseBlock = std::function<std::optional<plat::CachedUrlResponse>(
        plat::UrlConnection&, const plat::CachedUrlResponse&)>;
    using RedirectResponseBlock = std::function<std::optional<plat::UrlRequest>(
        plat::UrlConnection&, const plat::UrlRequest&, const plat::HttpUrlResponse&)>;

    AFURLConnectionOperation();
    explicit AFURLConnectionOperation(plat::UrlRequest request);
    ~AFURLConnectionOperation() override;
    template <class T = AFURLConnectionOperation>
    static Ref<T> operationWithRequest(plat::UrlRequest request) {
        return std::make_shared<T>(std::move(request));
    }

    std::string description() const override;

    // Installs a completion block that runs once, then lets go of itself and what it holds.
    void setCompletionBlock(std::function<void()> block);

    Ref<plat::InputStream> inputStream() const;
    void setInputStream(Ref<plat::InputStream> stream);
    Ref<plat::OutputStream> outputStream();
    void setOutputStream(Ref<plat::OutputStream> stream);

    void setUploadProgressBlock(UploadProgressBlock block);
    void setDownloadProgressBlock(DownloadProgressBlock block);
    void setAuthenticationAgainstProtectionSpaceBlock(
        AuthenticationAgainstProtectionSpaceBlock block);
    void setAuthenticationChallengeBlock(AuthenticationChallengeBlock block);
    void setCacheResponseBlock(CacheResponseBlock block);
    void setRedirectResponseBlock(RedirectResponseBlock block);

    void setState(int16_t state);
    int16_t state() const;
    std::optional<std::string> responseString();
    virtual uint64_t responseStringEncoding();

    virtual void pause();
    bool isPaused() const;
    void resume();

    bool isReady() const override;
    bool isExecuting() const override;
    bool isFinished() const override;
    bool isConcurrent() const override { return true; }
    void start() override;
    void cancel() override;

    // Key-value names of the states: "isPaused", "isReady", "isExecuting", "isFinished".
    static std::string keyPathFromOperationState(int16_t state);
    static bool stateTransitionIsValid(int16_t from, int16_t to, bool cancelled);

    void encodeWithCoder(plat::KeyedCoder& coder) const override;
    bool initWithCoder(const plat::KeyedCoder& coder) override;
    virtual Ref<AFURLConnectionOperation> copyWithZone() const;

    // Accessors.
    plat::Modes runLoopModes() const;
    void setRunLoopModes(plat::Modes modes);
    plat::UrlRequest request() const;
    void setRequest(plat::UrlRequest request);
    std::optional<plat::HttpUrlResponse> response() const;
    virtual Ref<plat::Error> error();
    std::optional<plat::Bytes> responseData() const;
    bool allowsInvalidSSLCertificate() const;
    void setAllowsInvalidSSLCertificate(bool allows);
    bool shouldUseCredentialStorage() const;
    void setShouldUseCredentialStorage(bool use);
    std::optional<plat::UrlCredential> credential() const;
    void setCredential(std::optional<plat::UrlCredential> credential);
    Ref<plat::Dictionary> userInfo() const;
    void setUserInfo(Ref<plat::Dictionary> userInfo);
    int64_t totalBytesRead() const;
    const Ref<plat::UrlConnection>& connection() const { return connection_; }

    // The shared network thread, started on first use; it runs until the process ends.
    static plat::Thread& networkRequestThread();

    // Connection callbacks, on the network thread.
    bool canAuthenticateAgainstProtectionSpace(plat::UrlConnection& connection,
                                               const plat::ProtectionSpace& space) override;
    void didReceiveAuthenticationChallenge(
        plat::UrlConnection& connection,
        const plat::UrlAuthenticationChallenge& challenge) override;
    bool connectionShouldUseCredentialStorage(plat::UrlConnection& connection) override;
    Ref<plat::InputStream> needNewBodyStream(plat::UrlConnection& connection,
                                             const plat::UrlRequest& request) override;
    std::optional<plat::UrlRequest> willSendRequest(
        plat::UrlConnection& connection, const plat::UrlRequest& request,
        const plat::HttpUrlResponse& redirectResponse) override;
    void didSendBodyData(plat::UrlConnection& connection, int64_t bytesWritten,
                         int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite) override;
    void didReceiveResponse(plat::UrlConnection& connection,
                            const plat::HttpUrlResponse& response) override;
    void didReceiveData(plat::UrlConnection& connection, const plat::Bytes& data) override;
    void didFinishLoading(plat::UrlConnection& connection) override;
    void didFailWithError(plat::UrlConnection& connection, const Ref<plat::Error>& error) override;
    std::optional<plat::CachedUrlResponse> willCacheResponse(
        plat::UrlConnection& connection, const plat::CachedUrlResponse& response) override;

    // What the constructors do: a fresh operation, ready, for the request (also for an
    // operation made by class name).
    virtual void initWithRequest(plat::UrlRequest request);

  protected:
    // Subclasses building an error read these without the lock.
    mutable plat::RecursiveLock lock_;

  private:
    void operationDidStart();
    void finish();
    void cancelConnection();
    void closeOutputStream();
    void postNotification(const char* name);
    Ref<AFURLConnectionOperation> self();

    plat::Modes runLoopModes_;
    plat::UrlRequest request_;
    std::optional<plat::HttpUrlResponse> response_;
    Ref<plat::Error> error_;
    bool allowsInvalidSSLCertificate_ = false;
    std::optional<plat::Bytes> responseData_;
    std::optional<std::optional<std::string>> responseString_;  // computed once
    uint64_t responseStringEncoding_ = 0;
    bool shouldUseCredentialStorage_ = true;
    std::optional<plat::UrlCredential> credential_;
    Ref<plat::OutputStream> outputStream_;
    Ref<plat::Dictionary> userInfo_;
    std::atomic<int16_t> state_{0};
    Ref<plat::UrlConnection> connection_;
    std::atomic<int64_t> totalBytesRead_{0};
    bool writeFailed_ = false;

    UploadProgressBlock uploadProgress_;
    DownloadProgressBlock downloadProgress_;
    AuthenticationAgainstProtectionSpaceBlock authenticationAgainstProtectionSpace_;
    AuthenticationChallengeBlock authenticationChallenge_;
    CacheResponseBlock cacheResponse_;
    RedirectResponseBlock redirectResponse_;
};
