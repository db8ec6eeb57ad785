#include "app/store/StoreResources.h"

#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/common/ShopBackIssueViewController.h"
#include "app/store/common/ShopCategoryMainViewController.h"
#include "app/store/detail/PreviewPopupMainView.h"
#include "app/store/detail/ShopDetailMainViewController.h"
#include "app/store/feature/ShopFeatureViewController.h"
#include "platform_ui/ResourceRegistry.h"

void registerStoreResources(ui::ResourceRegistry& registry) {
    BookCoverCollectionCellView::registerResources(registry);
    ShopDetailMainViewController::registerResources(registry);
    PreviewPopupMainView::registerResources(registry);
    ShopFeatureViewController::registerResources(registry);
    ShopBackIssueViewController::registerResources(registry);
    ShopCategoryMainViewController::registerResources(registry);
}
