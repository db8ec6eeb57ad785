#include "app/services/GlobalService.h"

#include <QLocale>

#include "app/services/ReaderHandOver.h"
#include "platform/core/KeyValueCoding.h"
#include "platform/core/Log.h"
#include "platform/storage/InfoDictionary.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/info/catalogue/VnMagazineCategoryInfo.h"
#include "vnlib/service/v2/VnClientServiceConfiguration.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

PLAT_DEFINE_CLASS(GlobalService, plat::Object, [](auto& c) {
    c.method(VnBookStoreContextObserver::kActiveUserContextDidChange,
             &GlobalService::bookStoreContextActiveUserContextDidChange)
        .method("registerTokenToServer:", &GlobalService::registerTokenToServerWithToken)
        .method("registerTokenToServer", &GlobalService::registerTokenToServer)
        .method("apnsPushTokenRegistration_request:didFinishWithResult:",
                &GlobalService::apnsPushTokenRegistration_request_didFinishWithResult);
})

namespace {

constexpr const char* kDefaultAppCode = "ORV_001";
constexpr const char* kDefaultAllCategoryName = "ทั้งหมด";
constexpr const char* kMarsdenCatalogName = "Marsden Group Catalog";

// The shared service, and whether the program's end has closed it.
struct SharedService {
    Ref<GlobalService> service;
    bool closed = false;
    uint64_t built = 0;
};

SharedService& sharedSlot() {
    static SharedService shared;
    return shared;
}

// The text under a key of a dictionary value, when it is text.
std::optional<std::string> textIn(const plat::Value& dictionary, const char* key) {
    const auto d = dictionary.dictionary();
    if (!d)
        return std::nullopt;
    const plat::Value value = d->objectForKey(key);
    if (value.isNilOrNull())
        return std::nullopt;
    return value.description();
}

// Removes every occurrence of a text.
void eraseAll(std::string& text, std::string_view what) {
    if (what.empty())
        return;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at))
        text.erase(at, what.size());
}

std::string amountText(const QLocale& locale, const QString& currencyText) {
    std::string text = currencyText.toStdString();
    eraseAll(text, locale.currencySymbol(QLocale::CurrencySymbol).toStdString());
    // What separated the sign from the digits (plain or no-break spaces) goes with it.
    while (!text.empty() && (text.front() == ' ' || text.back() == ' ')) {
        if (text.front() == ' ')
            text.erase(0, 1);
        else
            text.pop_back();
    }
    for (std::string_view space : {"\u00a0", "\u202f"}) {
        if (text.starts_with(space))
            text.erase(0, space.size());
        if (text.ends_with(space))
            text.erase(text.size() - space.size());
    }
    eraseAll(text, ".00");
    return text;
}

}  // namespace

GlobalService::GlobalService(Token) {}

// The store context holds its observer and delegate weakly.
GlobalService::~GlobalService() = default;

Ref<GlobalService> GlobalService::globalShared() {
    SharedService& shared = sharedSlot();
    if (!shared.service && !shared.closed) {
        // Kept in its slot before the store context is built: a caller reached from the build
        // finds the service rather than building another.
        shared.service = std::make_shared<GlobalService>(Token{});
        ++shared.built;
        shared.service->buildStoreContext();
    }
    return shared.service;
}

void GlobalService::releaseShared() {
    closeShared();
    sharedSlot().closed = false;
}

void GlobalService::closeShared() {
    sharedSlot().closed = true;
    // Out of its slot before it goes: whatever its going reaches finds no service.
    Ref<GlobalService> old = std::move(sharedSlot().service);
}

uint64_t GlobalService::servicesBuilt() {
    return sharedSlot().built;
}

Ref<GlobalService> GlobalService::openShared() {
    sharedSlot().closed = false;
    return globalShared();
}

void GlobalService::buildStoreContext() {
    const plat::Value deployment = bundleInfoValueForKeyPath(kVarnelDeploymentKey);
    const std::optional<std::string> host = textIn(deployment, kServiceHostKey);
    if (!host || host->empty())
        VND_TRACE("Error", "No \"%s\" in \"%s\": the library service cannot be reached",
                  kServiceHostKey, kVarnelDeploymentKey);
    std::string serviceText = host.value_or("");
    while (!serviceText.empty() && serviceText.back() == '/')
        serviceText.pop_back();
    serviceText += kBookServicePath;
    const std::optional<plat::Url> serviceUrl = plat::Url::parse(serviceText);

    plat::Value metadata = bundleInfoValueForKeyPath("ApplicationCustomization.Metadata");
    if (!metadata.dictionary())
        metadata = plat::Value(plat::makeDictionary({}));
    plat::Value shop = bundleInfoValueForKeyPath("ApplicationCustomization.Shop");
    if (!shop.dictionary())
        shop = plat::Value(plat::makeDictionary({}));

    auto configuration = std::make_shared<VnClientServiceConfiguration>();
    configuration->setAuthorizationToken(textIn(deployment, kAuthorizationTokenKey));
    configuration->setAppCode(textIn(metadata, "AppCode").value_or(kDefaultAppCode));
    configuration->setStoreServiceURL(textIn(shop, "StoreServiceURL"));

    VnBookStoreContextFactory factory(serviceUrl.value_or(plat::Url()), configuration);
    storeContext_ = factory.newContext();
    storeContext_->addContextObserver(shared_from_this());
    storeContext_->setDelegate(shared_from_this());

    defaultBuyCode_ = "INAPP";
    numberLimitLoadOfItem_ = 48;
    shopStyle_ = 1;
}

void GlobalService::setReaderViewController(Ref<plat::Object> controller) {
    readerViewController_ = std::move(controller);
    if (!readerViewController_)
        plat::log("No reader window controller: the shelves will open nothing");
    else if (!readerHandOver())
        plat::log(plat::format("The reader window controller %s cannot open issues",
                               readerViewController_->className().c_str()));
}

std::shared_ptr<ReaderHandOver> GlobalService::readerHandOver() const {
    return std::dynamic_pointer_cast<ReaderHandOver>(readerViewController_);
}

// ---- Push-token registration ----

void GlobalService::bookStoreContextActiveUserContextDidChange(Ref<VnBookStoreContext>) {
    if (tokenID_ && !tokenID_->empty())
        registerTokenToServer();
}

void GlobalService::registerTokenToServerWithToken(const std::string& token) {
    tokenID_ = token;
    registerTokenToServer();
}

void GlobalService::registerTokenToServer() {
    if (!tokenID_ || tokenID_->empty() || !storeContext_)
        return;
    auto request =
        storeContext_->activeUserContext()->requestForAPNSPushTokenRegistration(tokenID_);
    if (request)
        request->startWithDelegate(shared_from_this(), "apnsPushTokenRegistration_");
}

void GlobalService::apnsPushTokenRegistration_request_didFinishWithResult(
    Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!result || !result->succeed())
        return;
    const auto answer = result->returnValue().as<VnCommonBoolReturnValue>();
    if (answer && answer->isSuccess() && storeContext_)
        storeContext_->activeUserContext()->setApnsRegistered(true);
}

// ---- Categories ----

Ref<VnMagazineCategoryInfo> GlobalService::allCategoryDefault() const {
    auto all = std::make_shared<VnMagazineCategoryInfo>();
    all->setCode(std::string(VnMagazineCategory_All));
    all->name_ =
        textIn(bundleInfoValueForKeyPath("ApplicationCustomization.Shop"), "ShopAllDisplayName")
            .value_or(kDefaultAllCategoryName);
    return all;
}

std::vector<Ref<VnMagazineCategoryInfo>> GlobalService::GenerateCategoryWithAllOnly(
    const std::vector<Ref<VnMagazineCategoryInfo>>& categories) const {
    std::vector<Ref<VnMagazineCategoryInfo>> list{allCategoryDefault()};
    list.insert(list.end(), categories.begin(), categories.end());
    return list;
}

std::vector<Ref<VnMagazineCategoryInfo>> GlobalService::GenerateCategoryWithDefault(
    const std::vector<Ref<VnMagazineCategoryInfo>>& categories, bool isBook) const {
    std::vector<Ref<VnMagazineCategoryInfo>> list;
    if (isUseKelOption_ && !isBook) {
        auto catalog = std::make_shared<VnMagazineCategoryInfo>();
        catalog->setCode(std::string(VnMagazineCategory_MarsdenCatalog));
        catalog->name_ = kMarsdenCatalogName;
        list.push_back(catalog);
    }
    const auto rest = GenerateCategoryWithAllOnly(categories);
    list.insert(list.end(), rest.begin(), rest.end());
    return list;
}

// ---- Amounts ----

std::string GlobalService::numberCurrentcyFormatterWithFloat(float amount) {
    const QLocale locale;
    return amountText(locale, locale.toCurrencyString(static_cast<double>(amount)));
}

std::string GlobalService::numberCurrentcyFormatterWithInt(int amount) {
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    return amountText(locale, locale.toCurrencyString(static_cast<qlonglong>(amount)));
}

plat::Value GlobalService::bundleInfoValueForKeyPath(const std::string& keyPath) {
    return plat::valueForKeyPath(plat::Value(plat::InfoDictionary::main()), keyPath);
}
