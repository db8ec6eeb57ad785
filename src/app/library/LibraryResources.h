#pragma once
// The library area's entries in the resource registry: under the storyboard "LibraryStoryboard"
// the library screen ("LibraryMainViewController"), its view ("LibraryMain"), a shelf
// ("LibraryListView") and a shelf cell ("LibraryBookShelfCollectionCellView"); the nibs of the
// library screen and of the borrow-history and reservation screens.
namespace ui {
class ResourceRegistry;
}

void registerLibraryResources(ui::ResourceRegistry& registry);
