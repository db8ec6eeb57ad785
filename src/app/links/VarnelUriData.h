#pragma once
// VarnelUriData: one of the program's own links ("varnel.kel://shop/magazine/issue?id=X") read
// into three small kinds (root from the host, sublevel from the first path element, content from
// the second), the "id" and "id2" query values and every query pair. Links travel as text and are
// split here by hand, so the scheme and the words keep their case. Path elements are
// percent-decoded (an element that does not decode is kept as written); the query is not. An
// object is parsed once, when made, and never changes.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Object.h"

// From the host.
enum VarnelUriRootKind : int32_t {
    VarnelUriRootKindNone = -1,
    VarnelUriRootKindLibrary = 0,
    VarnelUriRootKindShop = 1,
    VarnelUriRootKindWidget = 2,
    VarnelUriRootKindApp = 3,
    VarnelUriRootKindUser = 4,
    VarnelUriRootKindMessage = 5,
};

// From the first path element.
enum VarnelUriSublevelKind : int32_t {
    VarnelUriSublevelKindNone = -1,
    VarnelUriSublevelKindMagazine = 0,
    VarnelUriSublevelKindBook = 1,
    VarnelUriSublevelKindNewspaper = 2,
    VarnelUriSublevelKindAudio = 3,
    VarnelUriSublevelKindPromotion = 4,    // "r"
    VarnelUriSublevelKindMessageNew = 5,   // "mn"
    VarnelUriSublevelKindMessageInbox = 6  // "mi"
};

// From the second path element; "detail" also stands for any other word and for none.
enum VarnelUriContentKind : int32_t {
    VarnelUriContentKindDetail = 0,
    VarnelUriContentKindIssue = 1,
    VarnelUriContentKindCategory = 2,
    VarnelUriContentKindPriceList = 3,
    VarnelUriContentKindList = 4,
    VarnelUriContentKindFeatured = 5,
};

class VarnelUriData : public plat::Object {
    PLAT_CLASS(VarnelUriData)
  public:
    using QueryParams = std::map<std::string, std::string>;

    // The pieces of a link's text; absent parts are none (an empty host is no host).
    struct Parts {
        std::optional<std::string> scheme;
        std::optional<std::string> host;
        // None for a link with no path at all ("varnel.kel:opaque"); "" for "varnel.kel://shop".
        std::optional<std::string> path;
        std::optional<std::string> query;
        std::optional<std::string> fragment;
    };
    static Parts splitUrl(std::string_view url);
    // "/" followed by the path's non-empty elements, each percent-decoded; none without a path.
    static std::optional<std::vector<std::string>> pathComponents(std::string_view url);

    static Ref<VarnelUriData> dataWithURL(std::string_view url);
    void initWithURL(std::string url);

    // Pairs "key=value" joined by "&": a bare key gets "", text after a second "=" is dropped,
    // empty pieces are skipped, a later key replaces an earlier one. Nothing is decoded.
    static QueryParams dictionaryFromUriQueryString(const std::optional<std::string>& query);

    // Whether the scheme begins with "varnel" (or "me"), letter case as written.
    static bool isVarnelURL(std::string_view url);
    static bool isVarnelMeURL(std::string_view url);

    // Parses the known links and answers the first that does not read as expected; none when all
    // do. Every build runs it once, at the first parse, which raises an assertion failure when a
    // known link reads wrong.
    static std::optional<std::string> selfTest();
    // Whether the first-parse check has run in this process.
    static bool selfTestHasRun();

    int32_t rootKind() const { return rootKind_; }
    int32_t sublevelKind() const { return sublevelKind_; }
    int32_t contentKind() const { return contentKind_; }
    // None when the link has no path (the kinds then stay 0).
    const std::optional<QueryParams>& queryParams() const { return queryParams_; }
    const std::optional<std::string>& contentId() const { return contentId_; }
    const std::optional<std::string>& contentId2() const { return contentId2_; }
    std::optional<std::string> fragment() const { return splitUrl(url_).fragment; }
    const std::string& url() const { return url_; }

    std::string description() const override;

  private:
    void processUrl();

    std::string url_;
    int32_t rootKind_ = 0;
    int32_t sublevelKind_ = 0;
    int32_t contentKind_ = 0;
    std::optional<QueryParams> queryParams_;
    std::optional<std::string> contentId_;
    std::optional<std::string> contentId2_;
};
