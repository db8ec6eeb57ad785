#pragma once
// The store's side of the seams (app/services): its navigation, which makes the store's pages
// the main window shows and starts a search on the search page. The composition root binds it.
#include <memory>

class StoreNavigation;

std::shared_ptr<StoreNavigation> makeStoreNavigation();
