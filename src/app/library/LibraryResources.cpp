#include "app/library/LibraryResources.h"

#include "app/library/LibraryListView.h"
#include "app/library/LibraryMainView.h"
#include "platform_ui/ResourceRegistry.h"

void registerLibraryResources(ui::ResourceRegistry& registry) {
    registry.registerController("LibraryStoryboard", "LibraryMainViewController", [] {
        return ui::ViewController::create<LibraryMainViewController>();
    });
    registry.registerController("LibraryStoryboard", "LibraryMain",
                                [] { return ui::ViewController::create<LibraryMainView>(); });
    registry.registerController("LibraryStoryboard", "LibraryListView",
                                [] { return ui::ViewController::create<LibraryListView>(); });
}
