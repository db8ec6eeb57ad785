#include "app/links/VarnelUriData.h"

#include <array>
#include <atomic>
#include <utility>

#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "platform/net/Url.h"

PLAT_DEFINE_CLASS(VarnelUriData, plat::Object, PLAT_NO_METHODS)

namespace {

using WordTable = std::array<std::pair<std::string_view, int32_t>, 7>;

constexpr WordTable kRootWords = {{{"library", VarnelUriRootKindLibrary},
                                   {"shop", VarnelUriRootKindShop},
                                   {"widget", VarnelUriRootKindWidget},
                                   {"app", VarnelUriRootKindApp},
                                   {"u", VarnelUriRootKindUser},
                                   {"mes", VarnelUriRootKindMessage},
                                   {{}, 0}}};
constexpr WordTable kSublevelWords = {{{"magazine", VarnelUriSublevelKindMagazine},
                                       {"book", VarnelUriSublevelKindBook},
                                       {"newspaper", VarnelUriSublevelKindNewspaper},
                                       {"audio", VarnelUriSublevelKindAudio},
                                       {"r", VarnelUriSublevelKindPromotion},
                                       {"mn", VarnelUriSublevelKindMessageNew},
                                       {"mi", VarnelUriSublevelKindMessageInbox}}};
constexpr WordTable kContentWords = {{{"detail", VarnelUriContentKindDetail},
                                      {"issue", VarnelUriContentKindIssue},
                                      {"category", VarnelUriContentKindCategory},
                                      {"pricelist", VarnelUriContentKindPriceList},
                                      {"list", VarnelUriContentKindList},
                                      {"featured", VarnelUriContentKindFeatured},
                                      {{}, 0}}};

// Words are compared exactly, in their case; the empty word is never one.
int32_t lookup(const WordTable& table, const std::string& word, int32_t fallback) {
    if (word.empty())
        return fallback;
    for (const auto& [text, kind] : table) {
        if (!text.empty() && text == word)
            return kind;
    }
    return fallback;
}

bool isSchemeText(std::string_view text) {
    if (text.empty() || !((text[0] >= 'a' && text[0] <= 'z') || (text[0] >= 'A' && text[0] <= 'Z')))
        return false;
    for (char c : text) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!allowed)
            return false;
    }
    return true;
}

// The host of an authority "user@host:port" ("[v6]" keeps its brackets off).
std::string hostOfAuthority(std::string_view authority) {
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        return std::string(close == std::string_view::npos ? authority.substr(1)
                                                           : authority.substr(1, close - 1));
    }
    return std::string(authority.substr(0, authority.rfind(':')));
}

struct SelfTestCase {
    const char* url;
    int32_t root, sublevel, content;
};
constexpr std::array<SelfTestCase, 4> kSelfTestCases = {{
    {"varnel.kel://shop/magazine/category?id=promotion", 1, 0, 2},
    {"varnel.kel://shop/magazine?id=QUILL", 1, 0, 0},
    {"varnel.kel://shop/book/issue?id=0888-01293120-09992", 1, 1, 1},
    {"varnel.kel://shop/magazine/pricelist?id=QUILL", 1, 0, 3},
}};

}  // namespace

VarnelUriData::Parts VarnelUriData::splitUrl(std::string_view url) {
    Parts parts;
    std::string_view rest = url;
    const size_t colon = rest.find(':');
    const bool hasScheme = colon != std::string_view::npos && isSchemeText(rest.substr(0, colon));
    if (hasScheme) {
        parts.scheme = std::string(rest.substr(0, colon));
        rest.remove_prefix(colon + 1);
    }
    if (const size_t hash = rest.find('#'); hash != std::string_view::npos) {
        parts.fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (const size_t question = rest.find('?'); question != std::string_view::npos) {
        parts.query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        std::string host = hostOfAuthority(rest.substr(0, slash));
        if (!host.empty())
            parts.host = std::move(host);
        parts.path =
            slash == std::string_view::npos ? std::string() : std::string(rest.substr(slash));
    } else if (!hasScheme || (!rest.empty() && rest.front() == '/')) {
        parts.path = std::string(rest);
    }
    return parts;
}

std::optional<std::vector<std::string>> VarnelUriData::pathComponents(std::string_view url) {
    const Parts parts = splitUrl(url);
    if (!parts.path)
        return std::nullopt;
    std::vector<std::string> components{"/"};
    std::string_view path = *parts.path;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view element = path.substr(0, slash);
        if (!element.empty())
            components.push_back(plat::Url::percentDecode(element).value_or(std::string(element)));
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return components;
}

Ref<VarnelUriData> VarnelUriData::dataWithURL(std::string_view url) {
    auto data = std::make_shared<VarnelUriData>();
    data->initWithURL(std::string(url));
    return data;
}

namespace {

// Set by the first parse of the process, whose check runs once even when it fails.
std::atomic<bool> gSelfTestRan{false};

}  // namespace

bool VarnelUriData::selfTestHasRun() {
    return gSelfTestRan.load();
}

void VarnelUriData::initWithURL(std::string url) {
    if (!gSelfTestRan.exchange(true)) {
        if (auto failed = selfTest())
            plat::assertionFailedWithText("Parsing " + *failed + " failed", __FILE__, __LINE__);
    }
    url_ = std::move(url);
    processUrl();
}

void VarnelUriData::processUrl() {
    auto components = pathComponents(url_);
    if (!components)
        return;
    while (components->size() < 3)
        components->emplace_back();
    (*components)[0] = splitUrl(url_).host.value_or(std::string());
    rootKind_ = lookup(kRootWords, (*components)[0], VarnelUriRootKindNone);
    sublevelKind_ = lookup(kSublevelWords, (*components)[1], VarnelUriSublevelKindNone);
    contentKind_ = lookup(kContentWords, (*components)[2], VarnelUriContentKindDetail);
    queryParams_ = dictionaryFromUriQueryString(splitUrl(url_).query);
    if (auto id = queryParams_->find("id"); id != queryParams_->end())
        contentId_ = id->second;
    if (auto id2 = queryParams_->find("id2"); id2 != queryParams_->end())
        contentId2_ = id2->second;
}

VarnelUriData::QueryParams VarnelUriData::dictionaryFromUriQueryString(
    const std::optional<std::string>& query) {
    QueryParams params;
    if (!query)
        return params;
    std::string_view rest = *query;
    while (true) {
        const size_t amp = rest.find('&');
        const std::string_view piece = rest.substr(0, amp);
        if (!piece.empty()) {
            const size_t eq = piece.find('=');
            std::string key(piece.substr(0, eq));
            std::string value;
            if (eq != std::string_view::npos) {
                const std::string_view after = piece.substr(eq + 1);
                value = std::string(after.substr(0, after.find('=')));
            }
            params[std::move(key)] = std::move(value);
        }
        if (amp == std::string_view::npos)
            break;
        rest.remove_prefix(amp + 1);
    }
    return params;
}

bool VarnelUriData::isVarnelURL(std::string_view url) {
    const auto scheme = splitUrl(url).scheme;
    return scheme && scheme->rfind("varnel", 0) == 0;
}

bool VarnelUriData::isVarnelMeURL(std::string_view url) {
    const auto scheme = splitUrl(url).scheme;
    return scheme && scheme->rfind("me", 0) == 0;
}

std::optional<std::string> VarnelUriData::selfTest() {
    std::optional<std::string> firstFailure;
    for (const auto& test : kSelfTestCases) {
        // Parsed without the first-use check, which runs this.
        auto data = std::make_shared<VarnelUriData>();
        data->url_ = test.url;
        data->processUrl();
        const bool good = data->rootKind() == test.root && data->sublevelKind() == test.sublevel &&
                          data->contentKind() == test.content &&
                          (data->contentKind() != VarnelUriContentKindCategory ||
                           data->contentId() == std::optional<std::string>("promotion"));
        if (!good && !firstFailure)
            firstFailure = test.url;
    }
    return firstFailure;
}

std::string VarnelUriData::description() const {
    return plat::format("<VarnelUriData %s root %d sublevel %d content %d>", url_.c_str(),
                        rootKind_, sublevelKind_, contentKind_);
}
