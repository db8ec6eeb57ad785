#pragma once
// demo::DemoSignOn: the library's single-sign-on server and member service, served by a
// DemoService under "/oauth2/" and "/member/" (UTF-8 replies):
//   GET  oauth2/index.php?client_id=&udid=&redirect_uri=app&response_type=code
//        checks the four parameters, sets a cookie and shows a Thai-titled form listing the
//        demo accounts; POST index.php with "username" and "password" (or "cancel"):
//        good -> 302 "app?code=<one-time>&state=...", wrong password -> the form with a
//        message, the locked account -> "app?error=access_denied&error_message=...",
//        cancel -> "app?error=cancel_signin&error_message=..."
//   GET  oauth2/app                 a page
//   POST oauth2/access_token.php    grant_type, code, client_id, client_secret, redirect_uri:
//        the seven-field token reply ("expires" in milliseconds); a used or unknown code or a
//        wrong secret -> a JSON error without "access_token"
//   GET  oauth2/checktoken.php?access_token=&client_id=
//   GET  oauth2/signout.php?access_token=&client_id=   revokes the token
//   GET  member/profile/getProfile?token=&client_id=   the member's profile ("Username" is the
//        library user) or a JSON error
// Issued tokens sign their member in to the library ("AccountAuthenticationWithAccessToken")
// until revoked. Switches make the replies go wrong for tests. Thread-safe.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"

namespace demo {

// The client id and secret the program's Info.plist carries.
inline constexpr const char* kDemoOAuthClientID = "VarnelLinuxDemoClient000000001";
inline constexpr const char* kDemoOAuthSecret = "VarnelLinuxDemoSecret000000001";

// The sign-on accounts: the catalogue's named members with their library passwords (each signs
// in the library member of the same user name; the library itself refuses its suspended one),
// and one account locked at the sign-on server, which refuses it on its page.
struct SignOnAccount {
    std::string username;
    std::string password;
    bool locked = false;
};
inline constexpr const char* kLockedAccount = "locked@example.com";
inline constexpr const char* kLockedAccountPassword = "locked-2567";

class DemoSignOn {
  public:
    // Registers the routes on the service; the catalogue must outlive the service.
    DemoSignOn(DemoService& service, SampleCatalogue& catalogue);
    ~DemoSignOn();

    // "<base>/oauth2/" and "<base>/member/".
    std::string hostUrl() const;
    std::string serviceUrl() const;
    static std::vector<SignOnAccount> accounts();

    // Switches for tests.
    void setOmitAccessToken(bool omit);  // token replies without "access_token"
    void setOmitUsername(bool omit);     // profiles without "Username"
    void setWrongTypes(bool wrong);      // numbers, nulls and booleans where texts belong

    // A one-time code for the account, as a good sign-in on the form gives (tests that skip the
    // page); none for an unknown or locked account.
    std::optional<std::string> issueCode(const std::string& username);
    // Tokens issued and not revoked, oldest first; codes issued so far.
    std::vector<std::string> liveTokens() const;
    size_t codesIssued() const;

    struct State;

  private:
    DemoService& service_;
    std::shared_ptr<State> state_;
};

}  // namespace demo
