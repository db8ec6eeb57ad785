#pragma once
// Paths behind HTTP authentication, for the request engine's tests. The one account is
// kDemoAuthUser / kDemoAuthPassword; an accepted request is answered 200 "hello <user>".
//   /auth/basic/...          Basic, realm "Varnel demo"
//   /auth/digest-md5/...     Digest MD5, qop "auth", with an opaque value
//   /auth/digest-sha256/...  Digest SHA-256 (offered beside MD5 and Basic)
//   /auth/digest-stale/...   Digest MD5 whose nonce is good for one request: a later request
//                            with it is answered 401 with "stale=true" and a fresh nonce
//   /auth/ntlm/...           only NTLM and Negotiate
//   /auth/malformed/...      a challenge that cannot be parsed
#include "demo-service/DemoService.h"

namespace demo {

inline constexpr const char* kDemoAuthUser = "reader";
inline constexpr const char* kDemoAuthPassword = "pa:ss wörd";
inline constexpr const char* kDemoAuthRealm = "Varnel demo";

void registerAuthenticationPaths(DemoService& service);

}  // namespace demo
