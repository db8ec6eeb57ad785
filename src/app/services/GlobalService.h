#pragma once
// GlobalService: the one object through which every screen reaches the bookstore library. It
// builds the program's single VnBookStoreContext from the information dictionary
// ("VarnelDeployment" names the service host and token, "ApplicationCustomization" the application
// code, store service and all-categories name), observes it, and carries the few settings and
// controllers that screens share: the page size of list loads, the main window controller, the
// library screen and the reader window. Main thread only.
//
//   auto service = GlobalService::globalShared();
//   service->storeContext()->activeUserContext();
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/Value.h"

class VnBookStoreContext;
class VnMagazineCategoryInfo;
class VnRequestContext;
class VnRequestResult;
class ReaderHandOver;

// Keys of the deployment settings under "VarnelDeployment" in the information dictionary.
inline constexpr const char* kVarnelDeploymentKey = "VarnelDeployment";
inline constexpr const char* kServiceHostKey = "ServiceHost";
inline constexpr const char* kAuthorizationTokenKey = "AuthorizationToken";
inline constexpr const char* kOAuthHostKey = "OAuthHost";
inline constexpr const char* kOAuthServiceKey = "OAuthService";
inline constexpr const char* kOAuthClientIDKey = "OAuthClientID";
inline constexpr const char* kOAuthSecretKey = "OAuthSecret";
// The version-2 service's path under the host.
inline constexpr const char* kBookServicePath = "/BookService.asmx";

class GlobalService : public plat::Object {
    PLAT_CLASS(GlobalService)
    struct Token {};

  public:
    // Made only by globalShared.
    explicit GlobalService(Token);
    ~GlobalService() override;

    // The shared service, made on first use and kept for the life of the process; null once the
    // program's end has closed it (closeShared), so that nothing that goes after it (a screen
    // giving back what it held) builds a new service and store context during the end.
    static Ref<GlobalService> globalShared();
    // Lets the shared service go with its store context and the screens it keeps (the main
    // window, the library, the reader window); the next globalShared builds a new one from the
    // information dictionary as it then is. Tests call it between runs of the program.
    static void releaseShared();
    // The program's end: lets the shared service go as releaseShared does, for good: until the
    // program starts again (openShared), globalShared answers null.
    static void closeShared();
    // The program's start: the shared service, built when there is none, also after a close.
    static Ref<GlobalService> openShared();
    // How many shared services this process has built so far.
    static uint64_t servicesBuilt();

    int libraryStyle() const { return libraryStyle_; }
    void setLibraryStyle(int style) { libraryStyle_ = style; }
    int shopViewStyle() const { return shopViewStyle_; }
    const std::string& defaultBuyCode() const { return defaultBuyCode_; }
    void setDefaultBuyCode(std::string code) { defaultBuyCode_ = std::move(code); }
    const Ref<VnBookStoreContext>& storeContext() const { return storeContext_; }
    bool promotionalCodeSystemEnabled() const { return promotionalCodeSystemEnabled_; }
    void setPromotionalCodeSystemEnabled(bool enabled) { promotionalCodeSystemEnabled_ = enabled; }
    bool isUseKelOption() const { return isUseKelOption_; }
    void setIsUseKelOption(bool use) { isUseKelOption_ = use; }
    int numberLimitLoadOfItem() const { return numberLimitLoadOfItem_; }
    void setNumberLimitLoadOfItem(int count) { numberLimitLoadOfItem_ = count; }
    const std::optional<std::string>& tokenID() const { return tokenID_; }
    void setTokenID(std::optional<std::string> token) { tokenID_ = std::move(token); }
    const std::optional<std::string>& appName() const { return appName_; }
    const std::optional<std::string>& appLink() const { return appLink_; }
    int shopStyle() const { return shopStyle_; }
    void setShopStyle(int style) { shopStyle_ = style; }
    // The library screen (a LibraryMainViewController), registered by the main window.
    const Ref<plat::Object>& LibraryViewController() const { return libraryViewController_; }
    void setLibraryViewController(Ref<plat::Object> controller) {
        libraryViewController_ = std::move(controller);
    }
    // The main window controller, registered at launch once its window has loaded.
    const Ref<plat::Object>& windowController() const { return windowController_; }
    void setWindowController(Ref<plat::Object> controller) {
        windowController_ = std::move(controller);
    }
    // The reader window controller, registered at launch.
    const Ref<plat::Object>& readerViewController() const { return readerViewController_; }
    void setReaderViewController(Ref<plat::Object> controller);
    // The reader controller's hand-over interface; null when there is no reader controller or it
    // does not offer the interface (said once, in the log, when it was registered).
    std::shared_ptr<ReaderHandOver> readerHandOver() const;

    // ---- Store context observer ----
    void bookStoreContextActiveUserContextDidChange(Ref<VnBookStoreContext> context);

    // ---- Push-token registration ----
    void registerTokenToServerWithToken(const std::string& token);
    void registerTokenToServer();
    void apnsPushTokenRegistration_request_didFinishWithResult(Ref<VnRequestContext> request,
                                                               Ref<VnRequestResult> result);

    // ---- Categories ----
    Ref<VnMagazineCategoryInfo> allCategoryDefault() const;
    Ref<VnMagazineCategoryInfo> DefaultCategory() const { return allCategoryDefault(); }
    std::vector<Ref<VnMagazineCategoryInfo>> GenerateCategoryWithAllOnly(
        const std::vector<Ref<VnMagazineCategoryInfo>>& categories) const;
    std::vector<Ref<VnMagazineCategoryInfo>> GenerateCategoryWithDefault(
        const std::vector<Ref<VnMagazineCategoryInfo>>& categories, bool isBook) const;

    // ---- Amounts: the currency text without its currency sign and without ".00" ----
    // In the current locale.
    static std::string numberCurrentcyFormatterWithFloat(float amount);
    // In the locale "en-US".
    static std::string numberCurrentcyFormatterWithInt(int amount);

    // The information dictionary's value at a dot-separated key path; nil when absent.
    static plat::Value bundleInfoValueForKeyPath(const std::string& keyPath);

  private:
    void buildStoreContext();

    int libraryStyle_ = 0;
    int shopViewStyle_ = 0;
    std::string defaultBuyCode_;
    Ref<VnBookStoreContext> storeContext_;
    bool promotionalCodeSystemEnabled_ = false;
    bool isUseKelOption_ = false;
    int numberLimitLoadOfItem_ = 0;
    std::optional<std::string> tokenID_;
    std::optional<std::string> appName_;
    std::optional<std::string> appLink_;
    int shopStyle_ = 0;
    Ref<plat::Object> libraryViewController_;
    Ref<plat::Object> windowController_;
    Ref<plat::Object> readerViewController_;
};
