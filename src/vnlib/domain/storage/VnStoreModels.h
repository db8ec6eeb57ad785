#pragma once
// The two object-store models of the bookstore: "VarnelClientGlobalCache" (catalogue items of the
// shop and library lists as code and JSON text) and "VarnelClient" (the user's bookmarks).
#include "platform/storage/ObjectStore.h"

const plat::ObjectModel& VarnelClientGlobalCacheModel();
const plat::ObjectModel& VarnelClientModel();
