#pragma once
// Routes for the HTTP client's tests and benchmark:
//   /echo/...     any method: the request body comes back as the reply body; the method, the
//                 raw query and the header fields come back in "X-Echo-Method", "X-Echo-Query"
//                 and "X-Echo-Headers" (a JSON object of lower-case names)
//   /reply?status=<n>&type=<content type>&body=<text>   that reply (all three optional)
//   /cached/...?etag=&lm=&cc=&expires=&pragma=&status=&body=   a reply with an "ETag" and a
//                 "Last-Modified" (defaults given), the caching fields asked for, and 304 to a
//                 request whose "If-None-Match" or "If-Modified-Since" matches
//   /discard      any method: the body is dropped; the reply is {"received": <bytes>}
//   /bitly/shorten, /bitly/expand   a URL shortener speaking the 2.0.1 interface; the login
//                 "status-302" or "status-500" gets that status instead
#include "demo-service/DemoService.h"

namespace demo {

void registerHttpClientRoutes(DemoService& service);

}  // namespace demo
