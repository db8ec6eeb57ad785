#pragma once
// demo::registerStoreService: the version-3 store service, served by a DemoService of its own
// (its own URL; web methods under "/store.svc"). Every call must carry the token headers
// "TokenVersion" (2), "Authorization" (Token token="...") and "Varnel-AppCode"; every call except
// "GetItemReview", "GetItemRating" and "SubmitItemReview" must also carry the same token in the
// body's "tokenContext". The token is "guest" before sign-in and the member's session token
// after; a call with no token (no "Authorization", or an empty token, and no "TokenKey" or an
// empty one) is a guest's too; calls about the member's own things (wish lists, follows, own
// rating, submissions) are refused to guests. A call whose token headers are missing, unknown or do
// not match gets a 401 reply with the reason; other refusals get a 500 reply with the reason.
//
// It answers the store front (feature groups "0.feature_all", "0.feature_book",
// "0.feature_magazine", "0.feature_hdbook" with rows of entries, top-seller charts and the
// category menu), promotions, messages and their unread counts, catalogue lookups, search,
// related books, reviews, ratings and item messages, wish lists and follows, from the sample
// catalogue (the wish list is the one the version-2 wish-list methods change).
//
//   demo::SampleCatalogue catalogue;
//   demo::DemoService store;
//   demo::registerStoreService(store, catalogue);
//   store.start();  // the client's store service URL is store.serviceUrl()
#include <string>

#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"

namespace demo {

inline constexpr const char* kStoreServicePath = "/store.svc";

// The authorization token of the demo client's configuration; the store takes it as a guest.
inline constexpr const char* kDemoAuthorizationToken = "varnel-demo-authorization";

// Sets the service path and registers every store web method. Session tokens are those the
// catalogue remembers from version-2 sign-ins; `appCode`, when not empty, is the only application
// code accepted; `guestToken`, when not empty, is taken like "guest" (the client's configured
// authorization token). The catalogue must outlive the service.
// A store group's entry for an item: its link, cover, author (or publisher) and price.
Json itemEntry(const SampleItem& item);

void registerStoreService(DemoService& storeService, const SampleCatalogue& catalogue,
                          std::string appCode = {}, std::string guestToken = {});

}  // namespace demo
