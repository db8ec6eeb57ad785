#pragma once
// The version-2 web service of the demo library: the session calls (sign-in with the password
// hash recipes, sign-in with a single-sign-on token, restore, sign-out) and every catalogue,
// lending, wish-list, reading-sync, account, subscription and purchase method, answered from a
// SampleCatalogue. The catalogue must outlive the service.
//
//   demo::DemoService service;
//   demo::SampleCatalogue catalogue;
//   demo::registerVersion2Methods(service, catalogue);
//   service.start();
//
// Demo accounts (user name / password, hash method, salt):
//   somchai@example.com   / rak-an-nangsue  method 1 (standard), no salt; has a loan, a
//                                            reservation ready to claim, history and a wish list
//   nok@example.com       / nok-2567        method 2 (MD5), salt "s4lt-nok"; has a loan
//   ploy@example.com      / ploy-pass       method 3 (salted standard), salt "ploy-salt"
//   tester@example.com    / test1234        method 1, a test account
//   librarian@example.com / bannarak        method 1; may sign in for any member by giving its
//                                            own name as the administrator
//   suspended@example.com / suspended-2567  method 1; suspended: the sign-on page accepts it,
//                                            the library refuses its sign-in with the message
//                                            "This account is suspended. Please contact the
//                                            library." ("บัญชีนี้ถูกระงับการใช้งาน
//                                            กรุณาติดต่อห้องสมุด" in Thai)
// Each of them signs in on the demo sign-on page with the same password (DemoSignOn.h). The page
// also lists one account that is no library member:
//   locked@example.com    / locked-2567     locked at the sign-on server: the page refuses it
//                                            ("app?error=access_denied")
// Single-sign-on access token: "demo-sso-token-somchai" signs in somchai@example.com, and so
// does every token the catalogue has granted (the demo sign-on server's), for its member.
#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"

namespace demo {

// The access tokens that "AccountAuthenticationWithAccessToken" accepts, and their users.
inline constexpr const char* kDemoAccessToken = "demo-sso-token-somchai";
inline constexpr const char* kDemoAccessTokenUser = "somchai@example.com";

void registerVersion2Methods(DemoService& service, SampleCatalogue& catalogue);

// The password hash forms the service checks sign-ins against (texts joined as shown):
// standard: Base64(SHA-256(password + "|" + lower-cased user name)); method 2: lower-case hex
// MD5(password).
std::string demoStandardHash(const std::string& password, const std::string& username);
std::string demoMd5Hash(const std::string& password);
// Base64(SHA-256(text)) and lower-case hex MD5(text).
std::string demoSha256Base64(const std::string& text);
std::string demoMd5Hex(const std::string& text);

}  // namespace demo
