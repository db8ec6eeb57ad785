#pragma once
// VnJsonWebRequest: the transport of both web services. It posts a JSON body (a dictionary or a
// record, written by the stream JSON writer) to a web method of a service URL and finishes with
// the reply's "d" member (or "<WebMethod>Result") as its return value. All such requests share
// one process-wide queue that runs at most 8 connections at once; the rest wait in order, and
// prioritising moves a waiting one to the front. 120 seconds without any sign of the reply fail
// the request with "Request timeout"; 401 fails it with "Unauthorized". Any other status outside
// 200-299 fails it too, whatever the body holds: the error (NSURLErrorDomain) has the status as its
// code and the service's "Message" (or "HTTP status <code>") as its text. A reply longer than
// kMaxReplyBytes fails (NSURLErrorBadServerResponse) as soon as its length or its bytes pass the
// limit, and what came of it is let go; so does one whose bytes would take the replies held by
// all requests in flight past kMaxRepliesInFlightBytes, and one that would take more than
// kMaxReplyTreeBytes once decoded. A request that keeps received text (keepsReceivedText) hands
// its reply's bytes over with the decoded answer, whose objects know their bytes in it.
#include <optional>
#include <string>

#include "platform/net/UrlConnection.h"
#include "vnlib/dev/request/VnTimeoutRequest.h"

class VnJsonWebRequest : public VnTimeoutRequest, public plat::UrlConnectionDelegate {
    PLAT_CLASS(VnJsonWebRequest)
  public:
    static constexpr size_t kMaxActiveConnections = 8;
    static constexpr double kRequestTimeoutInterval = 40.0;
    // The longest reply held. The largest answers are whole lists: about 100 bytes a reference
    // and 650 a magazine title, so a catalogue of a million items (the most the demo service
    // makes) answers some 50 MB; 128 MiB leaves that more than twice over.
    static constexpr size_t kMaxReplyBytes = size_t{128} << 20;
    // The most a reply may become once decoded (JSONDecoder::setMaximumTreeBytes): short values
    // cost far more decoded than as text ("0," 2 bytes, decoded some 60). The largest replies the
    // program asks for are whole lists: 10,000 full item records (some 14 MB) decode to under
    // 32 MiB, and a list of item references to 3.4 times its text (so 128 MiB holds a list of
    // 300,000 references, 30 MB; the demo's generated catalogue of a million items, half a
    // million references a list, would need 170 MiB).
    static constexpr size_t kMaxReplyTreeBytes = size_t{128} << 20;
    // The reply bytes held by all requests in flight at once: one reply of the longest kind and
    // room for the others, where eight connections could otherwise hold 1 GiB.
    static constexpr size_t kMaxRepliesInFlightBytes = size_t{160} << 20;

    VnJsonWebRequest(plat::Url serviceUrl, std::optional<std::string> webMethod,
                     plat::Value requestObject, Ref<plat::Dictionary> headerObject = nullptr);

    const plat::Url& serviceUrl() const { return serviceUrl_; }
    const std::optional<std::string>& webMethod() const { return webMethod_; }
    const plat::Value& requestObject() const { return requestObject_; }
    const Ref<plat::Dictionary>& headerObject() const { return headerObject_; }
    // The URL posted to: the service URL, plus the web method as one more path component.
    plat::Url requestUrl() const;

    void timeout() override;

    // Sends exactly this Cookie header (none when empty) and leaves the cookie store alone: the
    // store is neither read for the request nor given the reply's cookies.
    void setFixedCookieHeader(std::optional<std::string> header) {
        fixedCookies_ = true;
        cookieHeader_ = std::move(header);
    }

    // Connection callbacks.
    void didReceiveResponse(plat::UrlConnection& connection,
                            const plat::HttpUrlResponse& response) override;
    void didReceiveData(plat::UrlConnection& connection, const plat::Bytes& data) override;
    void didFinishLoading(plat::UrlConnection& connection) override;
    void didFailWithError(plat::UrlConnection& connection, const Ref<plat::Error>& error) override;

    // The process-wide queue, for tests and diagnostics.
    static size_t activeConnectionCount();
    static size_t pendingConnectionCount();
    static size_t replyBytesHeld();
    const Ref<plat::UrlConnection>& serviceConnection() const { return serviceConnection_; }

  protected:
    void coreStart() override;
    void coreCleanUp() override;
    void coreCancel() override;
    void corePrioritize() override;

  private:
    std::string methodName() const { return webMethod_.value_or(""); }
    void failWith(const Ref<plat::Error>& error);
    Ref<plat::Error> replyTooLargeError() const;
    void leaveQueue();
    // Lets go of the reply's bytes and gives them back to the queue's count.
    void dropReply();

    plat::Url serviceUrl_;
    std::optional<std::string> webMethod_;
    Ref<plat::UrlConnection> serviceConnection_;
    plat::Value requestObject_;
    std::optional<plat::Bytes> serviceReturnValue_;
    size_t heldReplyBytes_ = 0;  // counted by the queue
    int statusCode_ = 0;  // of the reply being received
    double startTimeInterval_ = 0;
    Ref<plat::Dictionary> headerObject_;
    bool fixedCookies_ = false;
    std::optional<std::string> cookieHeader_;
};

// The request as a command line (URL, -H per header, -B body) with secrets masked: the
// "Authorization" header and body values whose names speak of passwords, hashes, tokens,
// authorization codes or session ids.
std::string VnJsonWebRequestDebugDescription(const plat::UrlRequest& request);
