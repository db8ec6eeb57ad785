#pragma once
// Merging a request's custom parameters into the request dictionary of a web call (both service
// versions): a custom parameter whose key the dictionary has replaces that value; the others go
// into "optionalParams" — a list is rebuilt with one {"Key", "Value"} item per parameter (the
// custom ones win over items already there), an object gets them as members. With nowhere to put
// them (no "optionalParams", or null) they are not sent, and their names (never values) are
// traced under "Webservice". A request object that is not a dictionary is sent unchanged.
#include <string>

#include "platform/core/Collections.h"

plat::Value VnMergeCustomParams(const plat::Value& params, const Ref<plat::Dictionary>& custom,
                                const std::string& webMethod);
