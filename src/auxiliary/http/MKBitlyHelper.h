#pragma once
// MKBitlyHelper: a blocking client of a URL-shortening service (its 2.0.1 interface): shorten a
// long URL, expand a short one. The service's base URL comes from the information dictionary's
// "URLShortenerBaseURL" (or is given); with none, every call answers nothing. The login name and
// API key are escaped into the query. Any failure answers nothing.
#include <optional>
#include <string>

#include "platform/core/Object.h"
#include "platform/net/Url.h"

class MKBitlyHelper : public plat::Object {
    PLAT_CLASS(MKBitlyHelper)
  public:
    MKBitlyHelper() = default;
    void initWithLoginName(std::string loginName, std::string apiKey);
    // The API's base URL; by default the information dictionary's "URLShortenerBaseURL".
    void setBaseURL(std::optional<plat::Url> url) { baseURL_ = std::move(url); }

    std::optional<std::string> shortenURL(const std::string& longURL) const;
    std::optional<std::string> expandURL(const std::string& shortURL) const;

  private:
    std::optional<std::string> address(const std::string& operation) const;

    std::string loginName_;
    std::string apiKey_;
    std::optional<plat::Url> baseURL_;
};
