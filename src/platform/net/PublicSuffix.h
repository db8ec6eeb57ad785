#pragma once
// The public suffixes ("com", "co.uk", "github.io"): domains under which unrelated parties
// register names, so that no cookie may be set for them. The list is the system's publicsuffix
// data, read through libpsl once per process.
#include <string_view>

namespace plat::public_suffix {

// Whether the lower-case domain (without a trailing dot) is a public suffix. A single label
// counts as one even when the list does not know it ("localhost", "intranet").
bool isPublicSuffix(std::string_view domain);

}  // namespace plat::public_suffix
