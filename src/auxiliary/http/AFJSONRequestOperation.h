#pragma once
// AFJSONRequestOperation: an HTTP operation whose body is JSON ("application/json",
// "text/json", "text/javascript", or a ".json" URL). The body is parsed once, under the
// operation's lock, on a concurrent queue of its own when the operation completes; a parse
// error becomes the operation's error. A body of one space, or none, succeeds with nothing; a
// body that does not decode in its text encoding fails (it must not pass for an empty reply).
#include "external/AFHTTPRequestOperation.h"

// The reading options: 1 gives mutable containers; 4 also reads a top-level string, number,
// boolean or null, which are refused otherwise.
inline constexpr uint64_t NSJSONReadingMutableContainers = 1;
inline constexpr uint64_t NSJSONReadingAllowFragments = 4;

class AFJSONRequestOperation : public AFHTTPRequestOperation {
    PLAT_CLASS(AFJSONRequestOperation)
  public:
    using RequestSuccessBlock = std::function<void(
        const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>&, const plat::Value&)>;
    using RequestFailureBlock =
        std::function<void(const plat::UrlRequest&, const std::optional<plat::HttpUrlResponse>&,
                           const Ref<plat::Error>&, const plat::Value&)>;

    AFJSONRequestOperation() = default;
    explicit AFJSONRequestOperation(plat::UrlRequest request)
        : AFHTTPRequestOperation(std::move(request)) {}

    plat::Value responseJSON();
    uint64_t JSONReadingOptions() const { return readingOptions_; }
    void setJSONReadingOptions(uint64_t options) { readingOptions_ = options; }

    Ref<plat::Error> error() override;
    void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) override;

    static Ref<AFJSONRequestOperation> JSONRequestOperationWithRequest(
        const plat::UrlRequest& request, RequestSuccessBlock success, RequestFailureBlock failure);
    static std::optional<AFContentTypeSet> acceptableContentTypes();
    static bool canProcessRequest(const plat::UrlRequest& request);
    std::optional<AFContentTypeSet> classAcceptableContentTypes() const override {
        return acceptableContentTypes();
    }
    bool classCanProcessRequest(const plat::UrlRequest& request) const override {
        return canProcessRequest(request);
    }
    static Ref<plat::DispatchQueue> processingQueue();

  private:
    std::optional<plat::Value> responseJSON_;
    uint64_t readingOptions_ = 0;
    Ref<plat::Error> JSONError_;
};

// The last path extension of a URL ("json" of ".../a.b.json"); empty without one.
std::string AFPathExtensionOfURL(const plat::Url& url);
