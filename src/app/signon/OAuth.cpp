#include "app/signon/OAuth.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "app/signon/OAuthLogin.h"
#include "external/ASIFormDataRequest.h"
#include "platform/core/Error.h"
#include "platform/core/Log.h"
#include "platform/crypto/Digest.h"
#include "platform/crypto/Random.h"
#include "platform/crypto/Uuid.h"
#include "platform/net/Url.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/storage/InfoDictionary.h"
#include "platform/storage/UserDefaults.h"
#include "platform/system/Host.h"
#include "platform_ui/Application.h"
#include "vnlib/dev/kxjson/KxJsonParser.h"
#include "vnlib/dev/kxjson/KxJsonWriter.h"

PLAT_DEFINE_CLASS(OAuth, plat::Object, [](auto& c) {
    c.method(OAuthRequestDelegate::kCompleted, &OAuth::requestCompleted)
        .method(OAuthRequestDelegate::kError, &OAuth::requestError);
})

Ref<OAuth> OAuth::gInstance;
std::string OAuth::OAuthHost;
std::string OAuth::LibraryServiceURL;
std::string OAuth::OAuthService;
std::string OAuth::OAuthClientID;
std::string OAuth::OAuthSecret;
Ref<plat::MutableDictionary> OAuth::OAuthSettings;

namespace {

constexpr double kTimeOutSeconds = 30.0;
constexpr const char* kDeploymentKey = "VarnelDeployment";
constexpr const char* kSentTokenKey = "OAuthSentToken";
constexpr const char* kSignOutNumberKey = "OAuthSignOutNumber";

uint64_t signOutNumberOf(const Ref<plat::Dictionary>& info) {
    const plat::Value value = info ? info->objectForKey(kSignOutNumberKey) : plat::Value();
    const plat::Number* number = value.number();
    return number ? number->uint64Value() : 0;
}

// The client's low-level failures go to standard output, one line each.
void printFailure(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string deploymentValue(const char* key) {
    auto deployment = plat::InfoDictionary::objectForKey(kDeploymentKey).dictionary();
    return deployment ? deployment->objectForKey(key).stringOr() : std::string();
}

std::string addressText(std::span<const uint8_t> address) {
    std::string text;
    for (size_t i = 0; i < address.size(); ++i) {
        if (i > 0)
            text += ':';
        text += plat::format("%02X", address[i]);
    }
    return text;
}

bool isZero(const std::vector<uint8_t>& address) {
    return std::all_of(address.begin(), address.end(), [](uint8_t b) { return b == 0; });
}

Ref<plat::MutableDictionary> storedValues() {
    auto stored = plat::UserDefaults::standardUserDefaults()->dictionaryForKey(OAuth::kStorageKey);
    return stored ? stored->mutableCopy() : plat::MutableDictionary::make();
}

void writeStoredValues(const Ref<plat::MutableDictionary>& values) {
    auto defaults = plat::UserDefaults::standardUserDefaults();
    defaults->setObject(plat::Value(values->copy()), OAuth::kStorageKey);
    defaults->synchronize();
}

}  // namespace

// ---- The facade ----

void OAuth::createSharedInstance() {
    gInstance = std::make_shared<OAuth>();
}

void OAuth::initWithClientID(const std::string& clientId, const std::string& secret,
                             const Ref<plat::Object>& delegate) {
    if (gInstance)
        return;
    createSharedInstance();
    gInstance->initWithClientIDAndSecretAndDelegate(clientId, secret, delegate);
}

void OAuth::login() {
    if (auto instance = gInstance; instance && instance->statusOAuth_)
        instance->presentController("login", plat::Value());
}

void OAuth::checkAccessToken() {
    sendWithStoredToken(kOAuthTagCheckToken, "checktoken.php", "access_token");
}

void OAuth::getProfile() {
    sendWithStoredToken(kOAuthTagProfile, "profile/getProfile", "token");
}

void OAuth::logout(uint64_t number) {
    sendWithStoredToken(kOAuthTagSignOut, "signout.php", "access_token", number);
}

void OAuth::sendWithStoredToken(int32_t tag, const char* path, const char* tokenKey,
                                uint64_t signOutNumber) {
    auto instance = gInstance;
    if (!instance || !instance->statusOAuth_)
        return;
    ParamList list;
    instance->addObject(instance->getAccessToken(), tokenKey, list);
    instance->addObject(OAuthClientID, "client_id", list);
    instance->nextSignOutNumber_ = signOutNumber;
    instance->callWebService(path, list, "GET", tag, instance);
    instance->nextSignOutNumber_ = 0;
}

// ---- Configuration ----

void OAuth::initWithClientIDAndSecretAndDelegate(const std::string& clientId,
                                                 const std::string& secret,
                                                 const Ref<plat::Object>& delegate) {
    delegate_ = delegate;
    statusOAuth_ = true;
    OAuthHost = deploymentValue("OAuthHost");
    OAuthService = deploymentValue("OAuthService");
    OAuthClientID = clientId;
    OAuthSecret = secret;
    OAuthSettings = plat::MutableDictionary::make();
    lastModePresentController_.clear();
    auto defaults = plat::UserDefaults::standardUserDefaults();
    if (defaults->objectForKey(kAppIDKey).isNil()) {
        defaults->setObject(plat::Value(plat::Uuid::createString()), kAppIDKey);
        defaults->synchronize();
    }
}

// ---- Device identifier ----

std::string OAuth::getUID() {
    if (OAuthSettings) {
        if (const std::string* udid = OAuthSettings->objectForKey("UDID").string())
            return *udid;
    }
    return "I0" + uniqueGlobalDeviceIdentifier().value_or(std::string());
}

std::optional<std::string> OAuth::uniqueGlobalDeviceIdentifier() {
    return stringFromMD5(macaddress());
}

std::optional<std::string> OAuth::macaddress() {
    const auto interfaces = plat::Host::networkInterfaces();
    const auto usable = [](const plat::Host::NetworkInterface& i) {
        return i.hardwareAddress.size() == 6 && !isZero(i.hardwareAddress);
    };
    for (const auto& interface : interfaces) {
        if (interface.name == "en0" && usable(interface))
            return addressText(interface.hardwareAddress);
    }
    for (const auto& interface : interfaces) {
        if (!interface.loopback && usable(interface))
            return addressText(interface.hardwareAddress);
    }
    // No address to read: one made up once, locally administered, and kept.
    auto defaults = plat::UserDefaults::standardUserDefaults();
    if (auto kept = defaults->stringForKey(kHardwareAddressKey); kept && kept->size() == 17)
        return kept;
    std::array<uint8_t, 6> address{};
    plat::Random::fill(address);
    address[0] = static_cast<uint8_t>((address[0] & 0xFC) | 0x02);
    const std::string text = addressText(address);
    defaults->setObject(plat::Value(text), kHardwareAddressKey);
    defaults->synchronize();
    return text;
}

std::string OAuth::getMacAddress() {
    return macaddress().value_or("if_nametoindex failure");
}

std::string OAuth::getRandomChar(int32_t count) {
    static constexpr std::string_view kAlphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string text;
    for (int32_t i = 0; i < count; ++i)
        text += kAlphabet[plat::Random::uint32() % kAlphabet.size()];
    return text;
}

std::optional<std::string> OAuth::stringFromMD5(const std::optional<std::string>& text) {
    if (!text || text->empty())
        return std::nullopt;
    return plat::Digest::hex(plat::Digest::md5(*text));
}

// ---- JSON and storage ----

std::optional<std::string> OAuth::JSONRepresentationWithObject(const plat::Value& object) {
    return std::make_shared<KxJsonWriter>()->stringWithObject(object);
}

plat::Value OAuth::JSONValueWithString(const std::string& text) {
    return std::make_shared<KxJsonParser>()->objectWithString(std::string_view(text));
}

void OAuth::setObjectWithKey(const plat::Value& value, const std::string& key) {
    auto values = storedValues();
    values->setObject(value, plat::Value(key));
    writeStoredValues(values);
}

void OAuth::removeObjectWithKey(const std::string& key) {
    auto values = storedValues();
    values->removeObjectForKey(plat::Value(key));
    writeStoredValues(values);
}

plat::Value OAuth::getObjectWithKey(const std::string& key) {
    return storedValues()->objectForKey(key);
}

std::string OAuth::getAccessToken() {
    return getObjectWithKey(kAccessTokenKey).stringOr();
}

// ---- The login window ----

void OAuth::presentController(const std::string& mode, const plat::Value&) {
    auto param = plat::MutableDictionary::make();
    param->setObject(plat::Value(OAuthHost), plat::Value("OAuthHost"));
    param->setObject(plat::Value(OAuthClientID), plat::Value("OAuthClientID"));
    param->setObject(plat::Value(getUID()), plat::Value("UDID"));
    if (!LibraryServiceURL.empty())
        param->setObject(plat::Value(LibraryServiceURL), plat::Value("LibraryServiceURL"));
    auto login = std::make_shared<OAuthLogin>("OAuthLogin", param);
    // The window closed from its title bar ends the loop as its close button does.
    auto& center = plat::NotificationCenter::defaultCenter();
    const uint64_t closing =
        center.addObserver([](const plat::Notification&) { ui::Application::shared().stopModal(); },
                           ui::kWindowWillCloseNotification, login);
    ui::Application::shared().runModalForWindow(login->window());
    center.removeObserver(closing);
    lastModePresentController_ = mode;
}

// ---- Requests ----

void OAuth::addParam(const std::string& value, const std::string& key, std::string& query,
                     const std::string&) {
    if (!query.empty())
        query += '&';
    query += plat::Url::percentEncode(key) + "=" + plat::Url::percentEncode(value);
}

void OAuth::addObject(const std::string& value, const std::string& key, ParamList& list) {
    list.emplace_back(key, value);
}

void OAuth::callWebService(const std::string& path, const ParamList& param, const std::string& type,
                           int32_t tag, const Ref<plat::Object>& delegate) {
    const std::string& base = tag == kOAuthTagProfile ? OAuthService : OAuthHost;
    std::string text = base + path;
    if (type == "GET") {
        std::string query;
        for (const auto& [key, value] : param)
            addParam(value, key, query, type);
        text += "?" + query;
    }
    auto url = plat::Url::parse(text);
    if (!url) {
        printFailure("OAuth: cannot make a request of " + base + path);
        if (delegate.get() == this)
            tell(delegate_, tag, "Unable to create request (bad url?)", true,
                 tag == kOAuthTagSignOut ? nextSignOutNumber_ : 0);
        else
            plat::sendIfResponds(delegate, OAuthRequestDelegate::kError, nullptr);
        return;
    }
    auto request = ASIFormDataRequest::requestWithURL(*url);
    if (type == "POST") {
        request->setRequestMethod("POST");
        for (const auto& [key, value] : param)
            request->setPostValue(plat::Value(value), key);
        request->setPostValue(plat::Value(OAuthClientID), std::string("client_id"));
        request->setPostValue(plat::Value(OAuthSecret), std::string("client_secret"));
        request->setPostValue(plat::Value("app"), std::string("redirect_uri"));
    } else {
        request->setRequestMethod("GET");
    }
    if (tag == kOAuthTagSignOut) {
        auto info = plat::MutableDictionary::make();
        info->setObject(plat::Value(getAccessToken()), plat::Value(kSentTokenKey));
        info->setObject(plat::Value(nextSignOutNumber_), plat::Value(kSignOutNumberKey));
        request->setUserInfo(info);
    }
    request->setTimeOutSeconds(kTimeOutSeconds);
    request->setTag(tag);
    request->setDelegate(delegate);
    request->setDidFinishSelector(OAuthRequestDelegate::kCompleted.text());
    request->setDidFailSelector(OAuthRequestDelegate::kError.text());
    VND_TRACE("Webservice", "OAuth: %s %s%s (tag %d)", type.c_str(), base.c_str(), path.c_str(),
              tag);
    request->startAsynchronous();
}

void OAuth::tell(const Ref<plat::Object>& delegate, int32_t tag, const std::string& text,
                 bool failed, uint64_t signOutNumber) {
    // Kept for the delegate's call only (an answer told inside another is put back after).
    const uint64_t outer = std::exchange(signOutBeingAnswered_, signOutNumber);
    struct Restore {
        uint64_t& field;
        uint64_t value;
        ~Restore() { field = value; }
    } restore{signOutBeingAnswered_, outer};
    plat::sendIfResponds(delegate, failed ? OAuthDelegate::kDidFail : OAuthDelegate::kDidFinish,
                         tag, text);
}

void OAuth::requestCompleted(Ref<plat::Object> object) {
    auto request = std::dynamic_pointer_cast<ASIHTTPRequest>(object);
    if (!request)
        return;
    const auto tag = static_cast<int32_t>(request->tag());
    if (tag == kOAuthTagSignOut) {
        // The token this sign-out sent; one stored since belongs to a newer sign-in.
        const auto info = request->userInfo();
        const std::string sent = info ? info->objectForKey(kSentTokenKey).stringOr() : "";
        const std::string stored = getAccessToken();
        if (stored.empty() || stored == sent)
            removeObjectWithKey(kAccessTokenKey);
    }
    tell(delegate_, tag, request->responseString().value_or(std::string()), false,
         tag == kOAuthTagSignOut ? signOutNumberOf(request->userInfo()) : 0);
}

void OAuth::requestError(Ref<plat::Object> object) {
    auto request = std::dynamic_pointer_cast<ASIHTTPRequest>(object);
    if (!request)
        return;
    const auto error = request->error();
    const auto tag = static_cast<int32_t>(request->tag());
    tell(delegate_, tag, error ? error->description() : std::string("Unknown error"), true,
         tag == kOAuthTagSignOut ? signOutNumberOf(request->userInfo()) : 0);
}
