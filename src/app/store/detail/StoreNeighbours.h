#pragma once
// The item detail's neighbours: the active user context (through GlobalService's store context),
// the library shelves and the opening of an item in the reader (through their seams in
// AreaSeams). Each does nothing when its neighbour is missing.
#include <functional>

#include "platform/core/Object.h"

class VnBookStoreUserContext;
class VnMagazineIssueInfo;

namespace store_neighbours {

Ref<VnBookStoreUserContext> activeUserContext();
void refreshLibrary();
// The member has just taken a loan of the item: the member's sample of it ends, and the library
// shelves drop what they asked before it (a refresh asked after this starts afresh).
void loanTaken(const Ref<VnMagazineIssueInfo>& item);
// False when the item will not open in the reader: the member has been told why (and has
// answered), or nothing can open it. When it is on its way but its opening ends without the
// reader, `whenNotShown` is called then.
bool openReader(const Ref<VnMagazineIssueInfo>& item, std::function<void()> whenNotShown = {});
void cancelLibraryLoading();
// Has the observer hear "bookStoreContextActiveUserContextDidChange:" (the store context) each
// time another member signs in or the member signs out; the observer is not retained.
void observeActiveUserChanges(const Ref<plat::Object>& observer);
// Calls `updated` each time the library of the member signed in has taken an update (the shelves
// keep it as the service says), for as long as the observer lives; the observer is not retained.
void observeLibraryUpdates(const Ref<plat::Object>& observer, std::function<void()> updated);
// The user context that keeps the stored library of the member a request was sent for: the one
// signed in now when it is that member's (who may have signed in again since), else the one the
// request was sent with.
Ref<VnBookStoreUserContext> storedLibraryOf(const Ref<VnBookStoreUserContext>& sentFor);

}  // namespace store_neighbours
