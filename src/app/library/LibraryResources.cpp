#include "app/library/LibraryResources.h"

#include "app/library/BorrowHistoryViewController.h"
#include "app/library/LibraryBookShelfCollectionCellView.h"
#include "app/library/LibraryListView.h"
#include "app/library/LibraryMainView.h"
#include "app/library/ReserveBookViewController.h"
#include "platform_ui/ResourceRegistry.h"

namespace {

template <class T>
void registerMade(ui::ResourceRegistry& registry, const char* storyboard, const char* identifier) {
    registry.registerController(storyboard, identifier,
                                [] { return ui::ViewController::create<T>(); });
}

}  // namespace

void registerLibraryResources(ui::ResourceRegistry& registry) {
    constexpr const char* kStoryboard = "LibraryStoryboard";
    registerMade<LibraryMainViewController>(registry, kStoryboard, "LibraryMainViewController");
    registerMade<LibraryMainView>(registry, kStoryboard, "LibraryMain");
    registerMade<LibraryListView>(registry, kStoryboard, "LibraryListView");
    registerMade<LibraryBookShelfCollectionCellView>(
        registry, kStoryboard, LibraryBookShelfCollectionCellView::kIdentifier);
    // The screens made from nibs of their own.
    registerMade<LibraryMainViewController>(registry, "", "LibraryMainViewController");
    registerMade<BorrowHistoryViewController>(registry, "", "BorrowHistoryViewController");
    registerMade<ReserveBookViewController>(registry, "", "ReserveBookViewController");
}
