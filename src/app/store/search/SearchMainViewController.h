#pragma once
// SearchMainViewController: the container of the search page, made under ("SearchViewStoryboard",
// "SearchMainViewContrller"); the window sends it the search field's text with startSearch:. Its
// main view is ("SearchViewStoryboard", "SearchMainView"). Where it departs from the store page
// container: it routes no links and has no group item list or preview popup; a chosen result
// goes to the item detail itself ("หนังสือ / ค้นหา" or "นิตยสาร / ค้นหา", a magazine with its
// latest issue) and the detail shows at once; the detail and the back issues are released when
// left, and the detail's back returns to the results.
#include <string>

#include "app/store/StoreResources.h"
#include "app/store/common/StoreScreenContainer.h"

class VnMagazineInfo;
class VnMagazineIssueInfo;
namespace ui {
class ResourceRegistry;
}

class SearchMainViewController : public StoreScreenContainer {
    PLAT_CLASS(SearchMainViewController)
  public:
    static constexpr const char* kStoryboard = StoreScreens::kSearch.storyboard;
    static constexpr const char* kIdentifier = StoreScreens::kSearch.identifier;
    static constexpr const char* kMainIdentifier = "SearchMainView";
    static constexpr const char* kBookHeader = "หนังสือ / ค้นหา";
    static constexpr const char* kMagazineHeader = "นิตยสาร / ค้นหา";

    // The page and its main view.
    static void registerResources(ui::ResourceRegistry& registry);

    // The window; nothing is sent to it.
    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    void showSearchMainView() { showMainChild(); }
    void startSearch(std::string text);
    void cancelSearch();
    // A result of the main view; a record of another class than the message names is ignored.
    void selectBookIssueInfo(Ref<plat::Object> mainView, Ref<plat::Object> record);
    void selectMagazineInfo(Ref<plat::Object> mainView, Ref<plat::Object> record);

  protected:
    Ref<plat::Object> makeMainChild() override;
    bool hasPreviewPopup() const override { return false; }

  private:
    // Shows the detail at once in place of the results, given the record (a magazine first).
    void openDetail(bool isBook, const Ref<VnMagazineInfo>& magazine,
                    Ref<VnMagazineIssueInfo> issue);
    WeakRef<plat::Object> delegate_;
};
