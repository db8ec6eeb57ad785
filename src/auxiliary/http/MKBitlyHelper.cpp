#include "auxiliary/http/MKBitlyHelper.h"

#include "platform/net/UrlConnection.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/InfoDictionary.h"
#include "vnlib/dev/kxjson/KxJsonParser.h"

PLAT_DEFINE_CLASS(MKBitlyHelper, plat::Object, PLAT_NO_METHODS)

namespace {

// One GET, waited for on the calling thread (its loop runs in a private mode meanwhile).
class SynchronousLoad : public plat::UrlConnectionDelegate {
  public:
    void didReceiveResponse(plat::UrlConnection&, const plat::HttpUrlResponse& r) override {
        response = r;
        body.clear();
    }
    void didReceiveData(plat::UrlConnection&, const plat::Bytes& data) override {
        body.insert(body.end(), data.begin(), data.end());
    }
    void didFinishLoading(plat::UrlConnection&) override { done = true; }
    void didFailWithError(plat::UrlConnection&, const Ref<plat::Error>&) override {
        failed = done = true;
    }
    std::optional<plat::HttpUrlResponse> response;
    plat::Bytes body;
    bool done = false;
    bool failed = false;
};

std::optional<plat::Value> getJson(const std::string& address) {
    const auto url = plat::Url::parse(address);
    if (!url)
        return std::nullopt;
    static const std::string kMode = "MKBitlyHelperSynchronousMode";
    auto load = std::make_shared<SynchronousLoad>();
    auto connection = plat::UrlConnection::make(plat::UrlRequest(*url), load);
    plat::RunLoop& loop = plat::RunLoop::current();
    connection->scheduleInRunLoop(loop, kMode);
    connection->start();
    // The connection's own idle time-out ends a silent exchange long before this bound.
    if (!loop.runUntil([&] { return load->done; }, 600, kMode))
        connection->cancel();
    if (load->failed || !load->response || load->response->statusCode() < 200 ||
        load->response->statusCode() > 299) {
        return std::nullopt;
    }
    const std::string text(load->body.begin(), load->body.end());
    auto parser = std::make_shared<KxJsonParser>();
    const plat::Value reply = parser->objectWithString(&text);
    if (reply.isNil())
        return std::nullopt;
    return reply;
}

// Escapes everything but RFC 3986's unreserved characters.
std::string escaped(const std::string& text) {
    return plat::Url::percentEncode(text, "-._~");
}

// The standard escaping of a text placed in a URL: the URL's own delimiters (":/?&=+" and the
// other sub-delimiters) stay; "%", "#", brackets, spaces and all other bytes are escaped.
std::string urlStringEscaped(const std::string& text) {
    return plat::Url::percentEncode(text, "-._~:/?&=+!$'()*,;@");
}

std::optional<std::string> resultField(const plat::Value& reply, const std::string& key,
                                       const char* field) {
    const auto root = reply.dictionary();
    if (!root)
        return std::nullopt;
    const auto status = root->objectForKey("statusCode").string();
    const auto results = root->objectForKey("results").dictionary();
    if (!status || *status != "OK" || !results)
        return std::nullopt;
    const auto entry = results->objectForKey(key).dictionary();
    const auto value = entry ? entry->objectForKey(field).string() : nullptr;
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

}  // namespace

void MKBitlyHelper::initWithLoginName(std::string loginName, std::string apiKey) {
    loginName_ = std::move(loginName);
    apiKey_ = std::move(apiKey);
    const plat::Value configured = plat::InfoDictionary::objectForKey("URLShortenerBaseURL");
    if (configured.string())
        baseURL_ = plat::Url::parse(*configured.string());
}

std::optional<std::string> MKBitlyHelper::address(const std::string& operation) const {
    if (!baseURL_)
        return std::nullopt;
    std::string base = baseURL_->absoluteString();
    if (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + "/" + operation + "?version=2.0.1&login=" + escaped(loginName_) +
           "&apiKey=" + escaped(apiKey_) + "&";
}

std::optional<std::string> MKBitlyHelper::shortenURL(const std::string& longURL) const {
    const auto base = address("shorten");
    if (!base)
        return std::nullopt;
    // Escaped for a URL (with "&" and "+"), then escaped once more as the query's value.
    const std::string once = plat::Url::percentEncode(longURL, "-._~:/?#[]@!$'()*,;=%");
    const auto reply = getJson(*base + "longUrl=" + urlStringEscaped(once));
    return reply ? resultField(*reply, once, "shortUrl") : std::nullopt;
}

std::optional<std::string> MKBitlyHelper::expandURL(const std::string& shortURL) const {
    const auto base = address("expand");
    const size_t slash = shortURL.rfind('/');
    if (!base || slash == std::string::npos)
        return std::nullopt;
    const auto reply = getJson(*base + "shortUrl=" + urlStringEscaped(shortURL));
    return reply ? resultField(*reply, shortURL.substr(slash + 1), "longUrl") : std::nullopt;
}
