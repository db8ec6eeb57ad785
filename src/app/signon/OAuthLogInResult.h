#pragma once
// OAuthLogInResult: the sign-on server's token reply (the code exchange, and the token check),
// read by hand from the decoded JSON object: "access_token", "token_type", "expires"
// (milliseconds since 1970; none gives 1970 itself), "expires_in", "valid_token" (true only for
// the text "T"), "owner_type", "owner_id". A text key holding a number keeps its text; null, a
// boolean or a container counts as absent.
#include <cstdint>
#include <optional>
#include <string>

#include "vnlib/info/VnInfoBase.h"

class OAuthLogInResult : public VnInfoBase {
    PLAT_CLASS(OAuthLogInResult)
  public:
    // Reads the keys above; the record's reflective loading is not used.
    void initWithDictionary(const Ref<plat::Dictionary>& dictionary) override;

    std::optional<std::string> accessToken_;
    std::optional<std::string> tokenType_;
    plat::Date expiresDate_;
    int32_t expiresIn_ = 0;
    bool validToken_ = false;
    std::optional<std::string> ownerType_;
    int32_t ownerID_ = 0;
};
