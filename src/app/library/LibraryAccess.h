#pragma once
// What every library screen reaches anew at each use: the active member's context, through
// GlobalService → storeContext → activeUserContext; and the records of a list answer.
#include <optional>
#include <vector>

#include "platform/core/Collections.h"
#include "vnlib/dev/request/VnRequestResult.h"

class VnBookStoreUserContext;

// Null while there is no store context.
Ref<VnBookStoreUserContext> libraryActiveUser();
// Has the observer hear "bookStoreContextActiveUserContextDidChange:" each time another member
// signs in or the member signs out; the observer is not retained.
void observeLibraryUserChanges(const Ref<plat::Object>& observer);

// The records of type T in a successful list answer, in order; none for a failed answer or one
// that is not a list.
template <class T>
std::optional<std::vector<Ref<T>>> recordsOf(const Ref<VnRequestResult>& result) {
    const auto list = result && result->succeed() ? result->returnValue().array() : nullptr;
    if (!list)
        return std::nullopt;
    std::vector<Ref<T>> records;
    list->enumerate([&](const plat::Value& value) {
        if (auto record = value.as<T>())
            records.push_back(std::move(record));
        return true;
    });
    return records;
}
