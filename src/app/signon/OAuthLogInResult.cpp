#include "app/signon/OAuthLogInResult.h"

#include "app/signon/OAuthRecordReading.h"
#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(OAuthLogInResult, VnInfoBase, [](auto& c) {
    c.property("accessToken", "T@\"NSString\",&,N,VaccessToken_", &OAuthLogInResult::accessToken_)
        .property("tokenType", "T@\"NSString\",&,N,VtokenType_", &OAuthLogInResult::tokenType_)
        .property("expiresDate", "T@\"NSDate\",&,N,VexpiresDate_", &OAuthLogInResult::expiresDate_)
        .property("expiresIn", "Ti,N,VexpiresIn_", &OAuthLogInResult::expiresIn_)
        .property("validToken", "Tc,N,VvalidToken_", &OAuthLogInResult::validToken_)
        .property("ownerType", "T@\"NSString\",&,N,VownerType_", &OAuthLogInResult::ownerType_)
        .property("ownerID", "Ti,N,VownerID_", &OAuthLogInResult::ownerID_);
})

void OAuthLogInResult::initWithDictionary(const Ref<plat::Dictionary>& dictionary) {
    using namespace oauth_records;
    const plat::Dictionary* d = dictionary.get();
    accessToken_ = text(d, "access_token");
    tokenType_ = text(d, "token_type");
    expiresDate_ = plat::Date{number(d, "expires").value_or(0.0) / 1000.0};
    expiresIn_ = int32(d, "expires_in");
    const plat::Value valid = d ? d->objectForKey("valid_token") : plat::Value();
    validToken_ = valid.string() && *valid.string() == "T";
    ownerType_ = text(d, "owner_type");
    ownerID_ = int32(d, "owner_id");
}
