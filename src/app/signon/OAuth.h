#pragma once
// OAuth: the client of the library's single-sign-on server (OAuth 2 authorization-code flow), a
// facade of class operations over one shared instance. The main window configures it once with
// the client id, secret and delegate; login() runs the modal login window (OAuthLogin), which has
// the code exchanged for a token (tag 1); checkAccessToken() (tag 2), getProfile() (tag 3) and
// logout() (tag 4) send the stored token. Every answer reaches the delegate, when it answers it,
// as the tag and the raw reply text (OAuthDelegate).
// The access token is kept in the user defaults under "OAuthStorage" / "ACCESS_TOKEN"; a
// completed sign-out removes it (unless a newer token was stored meanwhile). The base URLs come
// from the information dictionary's "VarnelDeployment" ("OAuthHost", "OAuthService").
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/core/Message.h"
#include "platform/core/Object.h"

class ASIHTTPRequest;

inline constexpr int32_t kOAuthTagAccessToken = 1;
inline constexpr int32_t kOAuthTagCheckToken = 2;
inline constexpr int32_t kOAuthTagProfile = 3;
inline constexpr int32_t kOAuthTagSignOut = 4;

// What the sign-on client tells its delegate: the request's tag and the reply text (any status
// code), or the tag and the error text of a transport failure.
struct OAuthDelegate {
    static constexpr plat::Message<void(int32_t, std::string)> kDidFinish{
        "authRequest:didFinishWithResponse:"};
    static constexpr plat::Message<void(int32_t, std::string)> kDidFail{
        "authRequest:didFailWithError:"};
};

// What the sign-on requests tell their owner (the client, the login window): the request done or
// failed (null for a request that could not be made).
struct OAuthRequestDelegate {
    static constexpr plat::Message<void(Ref<plat::Object>)> kCompleted{"requestCompleted:"};
    static constexpr plat::Message<void(Ref<plat::Object>)> kError{"requestError:"};
};

class OAuth : public plat::Object {
    PLAT_CLASS(OAuth)
  public:
    // The request parameters: an ordered list of one-entry key/value pairs.
    using ParamList = std::vector<std::pair<std::string, std::string>>;

    // ---- Process-wide values, set by the first configuration ----
    static Ref<OAuth> gInstance;
    static std::string OAuthHost;
    static std::string OAuthService;
    static std::string OAuthClientID;
    static std::string OAuthSecret;
    // Overrides; only "UDID" is looked up.
    static Ref<plat::MutableDictionary> OAuthSettings;
    // The address whose cookies the login window keeps when it clears every other cookie: the
    // library service's, whose session a sign-in of the device may be using at that moment (set
    // by the main window; empty: the window clears them all).
    static std::string LibraryServiceURL;

    // ---- The facade ----
    static Ref<OAuth> sharedInstance() { return gInstance; }
    static void createSharedInstance();
    // Creates and configures the shared instance; a second call changes nothing.
    static void initWithClientID(const std::string& clientId, const std::string& secret,
                                 const Ref<plat::Object>& delegate);
    // These do nothing until configured.
    static void login();
    static void checkAccessToken();
    static void getProfile();
    // The sign-out carries the caller's number for it: while its answer (or failure) is being
    // told to the delegate, signOutBeingAnswered() gives that number, so that a caller with
    // several sign-outs under way knows which one was answered, in whatever order they come.
    static void logout(uint64_t number = 0);

    // ---- The instance ----
    bool getStatusOAuth() const { return statusOAuth_; }
    // The number of the sign-out whose answer is being told; 0 outside such an answer.
    uint64_t signOutBeingAnswered() const { return signOutBeingAnswered_; }
    void initWithClientIDAndSecretAndDelegate(const std::string& clientId,
                                              const std::string& secret,
                                              const Ref<plat::Object>& delegate);
    Ref<plat::Object> getDelegate() const { return delegate_; }
    std::string getUID();
    std::optional<std::string> uniqueGlobalDeviceIdentifier();
    // The text "%02X:..." of the device's hardware address: "en0" when the machine has it, else
    // the first interface by name (not the loopback) with a non-zero address, else a random
    // address made once and kept in the user defaults.
    std::optional<std::string> macaddress();
    std::string getMacAddress();
    std::string getRandomChar(int32_t count);
    static std::optional<std::string> stringFromMD5(const std::optional<std::string>& text);
    std::optional<std::string> JSONRepresentationWithObject(const plat::Value& object);
    plat::Value JSONValueWithString(const std::string& text);
    void setObjectWithKey(const plat::Value& value, const std::string& key);
    void removeObjectWithKey(const std::string& key);
    plat::Value getObjectWithKey(const std::string& key);
    // Runs the login window modally; returns when it has closed.
    void presentController(const std::string& mode, const plat::Value& param);
    void dismissViewController(const plat::Value&) {}
    // Appends "key=value" (each escaped) to the query, behind "&" unless it is the first pair.
    void addParam(const std::string& value, const std::string& key, std::string& query,
                  const std::string& method);
    void addObject(const std::string& value, const std::string& key, ParamList& list);
    // Builds and starts one request (30 s) whose answer goes to the delegate's
    // "requestCompleted:" or "requestError:" (with the request).
    void callWebService(const std::string& path, const ParamList& param, const std::string& type,
                        int32_t tag, const Ref<plat::Object>& delegate);
    void requestCompleted(Ref<plat::Object> request);
    void requestError(Ref<plat::Object> request);
    bool checkAlertExist() const { return false; }
    std::string getAccessToken();
    void showAlert(const std::string&, const std::string&) {}
    void showAlertConnectFail() { showAlert("Warning", "No internet connection."); }

    const std::string& lastModePresentController() const { return lastModePresentController_; }

    // The user-defaults keys.
    static constexpr const char* kStorageKey = "OAuthStorage";
    static constexpr const char* kAccessTokenKey = "ACCESS_TOKEN";
    static constexpr const char* kAppIDKey = "appID";
    static constexpr const char* kHardwareAddressKey = "OAuthHardwareAddress";

  private:
    static void sendWithStoredToken(int32_t tag, const char* path, const char* tokenKey,
                                    uint64_t signOutNumber = 0);
    // Tells the delegate; a sign-out's answer with its number in view.
    void tell(const Ref<plat::Object>& delegate, int32_t tag, const std::string& text, bool failed,
              uint64_t signOutNumber = 0);

    bool statusOAuth_ = false;
    uint64_t nextSignOutNumber_ = 0;
    uint64_t signOutBeingAnswered_ = 0;
    Ref<plat::Object> delegate_;
    std::string lastModePresentController_;
};
