#pragma once
// The item detail's neighbours, reached through GlobalService: the active user context (through
// the store context) and the library screen controller, which is given the library's messages
// (LibraryScreenMessages) after its view has been asked for. Each does nothing when its
// neighbour is missing.
#include "platform/core/Object.h"

class VnBookStoreUserContext;
class VnMagazineIssueInfo;

namespace store_neighbours {

Ref<VnBookStoreUserContext> activeUserContext();
void refreshLibrary();
void openReader(const Ref<VnMagazineIssueInfo>& item);
void cancelLibraryLoading();
// Has the observer hear "bookStoreContextActiveUserContextDidChange:" (the store context) each
// time another member signs in or the member signs out; the observer is not retained.
void observeActiveUserChanges(const Ref<plat::Object>& observer);

}  // namespace store_neighbours
