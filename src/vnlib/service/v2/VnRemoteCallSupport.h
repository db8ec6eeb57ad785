#pragma once
// What the calls of both service versions share.
//
// Merging a request's custom parameters into the request dictionary of a web call (both service
// versions): a custom parameter whose key the dictionary has replaces that value; the others go
// into "optionalParams" — a list is rebuilt with one {"Key", "Value"} item per parameter (the
// custom ones win over items already there), an object gets them as members. With nowhere to put
// them (no "optionalParams", or null) they are not sent, and their names (never values) are
// traced under "Webservice". A request object that is not a dictionary is sent unchanged.
#include <functional>
#include <string>

#include "platform/core/Collections.h"

plat::Value VnMergeCustomParams(const plat::Value& params, const Ref<plat::Dictionary>& custom,
                                const std::string& webMethod);

// Maps a web call's answer: a dictionary becomes mapOne of it; a list becomes the list of mapOne
// of each element (nulls and elements that map to nothing are left out; an element that is not a
// dictionary is first wrapped as {"Code": element}); any other value is the answer unchanged.
// keepNulls: null elements stay in the list, as null.
plat::Value VnMapRemoteAnswer(
    const plat::Value& answer,
    const std::function<plat::Value(const Ref<plat::Dictionary>&)>& mapOne, bool keepNulls = false);

// A new object of a return-value class (a record or a hand-read return value) loaded from the
// dictionary; nothing without a class.
plat::Value VnReturnValueOfClass(const plat::Class* returnValueClass,
                                 const Ref<plat::Dictionary>& dictionary);
