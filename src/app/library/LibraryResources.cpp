#include "app/library/LibraryResources.h"

#include "app/library/BorrowHistoryViewController.h"
#include "app/library/LibraryBookShelfCollectionCellView.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryMainView.h"
#include "app/library/ReserveBookViewController.h"
#include "platform_ui/ResourceRegistry.h"

namespace {

template <class T>
void registerMade(ui::ResourceRegistry& registry, ui::ScreenName name) {
    registry.registerController(name, [] { return ui::ViewController::create<T>(); });
}

}  // namespace

void registerLibraryResources(ui::ResourceRegistry& registry) {
    registerMade<LibraryMainViewController>(registry, LibraryScreens::kLibrary);
    registerMade<LibraryMainView>(registry, LibraryScreens::kMainView);
    registerMade<LibraryListView>(registry, LibraryScreens::kShelf);
    registerMade<LibraryBookShelfCollectionCellView>(registry, LibraryScreens::kShelfCell);
    // The screens made from nibs of their own.
    registerMade<LibraryMainViewController>(registry, LibraryScreens::kLibraryNib);
    registerMade<BorrowHistoryViewController>(registry, LibraryScreens::kBorrowHistory);
    registerMade<ReserveBookViewController>(registry, LibraryScreens::kReservations);
}
