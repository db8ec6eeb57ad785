#include "app/store/StoreResources.h"

#include "app/store/common/BookCoverCollectionCellView.h"
#include "platform_ui/ResourceRegistry.h"

void registerStoreResources(ui::ResourceRegistry& registry) {
    BookCoverCollectionCellView::registerResources(registry);
}
