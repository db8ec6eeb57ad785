#include "app/store/StoreResources.h"

#include "app/store/browse/BrowseListView.h"
#include "app/store/browse/BrowseMainView.h"
#include "app/store/browse/BrowseMainViewController.h"
#include "app/store/browse/BrowseSubView.h"
#include "app/store/category/CategoryMainView.h"
#include "app/store/category/CategoryMainViewController.h"
#include "app/store/common/BookCoverCollectionCellView.h"
#include "app/store/common/ShopBackIssueViewController.h"
#include "app/store/common/ShopCategoryMainViewController.h"
#include "app/store/detail/PreviewPopupMainView.h"
#include "app/store/detail/ShopDetailMainViewController.h"
#include "app/store/feature/ShopFeatureViewController.h"
#include "app/store/search/SearchMainViewController.h"
#include "app/store/topchart/TopChartMainViewController.h"
#include "platform_ui/ResourceRegistry.h"

void registerStoreResources(ui::ResourceRegistry& registry) {
    BookCoverCollectionCellView::registerResources(registry);
    ShopDetailMainViewController::registerResources(registry);
    PreviewPopupMainView::registerResources(registry);
    ShopFeatureViewController::registerResources(registry);
    ShopBackIssueViewController::registerResources(registry);
    ShopCategoryMainViewController::registerResources(registry);
    CategoryMainViewController::registerResources(registry);
    CategoryMainView::registerResources(registry);
    BrowseMainViewController::registerResources(registry);
    BrowseMainView::registerResources(registry);
    BrowseSubView::registerResources(registry);
    BrowseListView::registerResources(registry);
    TopChartMainViewController::registerResources(registry);
    SearchMainViewController::registerResources(registry);
}
