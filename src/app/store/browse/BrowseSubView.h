#pragma once
// BrowseSubView: one list of the browse screen, made under ("", "BrowseSubView"): the names of a
// browse group (authors, publishers or magazine titles) filed under index letters in a tree on
// the left (letters cannot be selected), and beside it the items of the selected name, loaded 48
// at a time as the member scrolls. The index pane stays 200 to 300 wide; resizing gives the
// room to the list. A name's item group is "<Id>_all", or the name's Id for magazine titles.
//
// Its delegate (the browse screen's main view, not retained) hears "browseSubViewStartLoading"
// and "browseSubViewLoadComplete" around the browse request and each first page, and
// "browseSubView:selectShopGroupInfo:withHeaderGroupInfo:" with a clicked item and its name.
// Paging waits for the selected name's first page, and shows the items in the order in which
// the next pages extend them.
#include <QPointer>
#include <map>
#include <string>
#include <vector>

#include "platform/core/Value.h"
#include "platform_ui/ViewController.h"

class QSplitter;
class QTreeWidget;
class BrowseListView;
class Va3GroupBrowseBook;
class VnRequestContext;
class VnShopGroupInfo;
namespace ui {
class ResourceRegistry;
}

class BrowseSubView : public ui::ViewController {
    PLAT_CLASS(BrowseSubView)
  public:
    static constexpr const char* kNibName = "BrowseSubView";
    using GroupList = std::vector<Ref<VnShopGroupInfo>>;

    BrowseSubView();
    static void registerResources(ui::ResourceRegistry& registry);
    // A group's nested groups ordered by OrderWidget, those of order 0 last; elements that are
    // no group are left out.
    static GroupList orderedSubwidgets(const Ref<VnShopGroupInfo>& group);
    static GroupList orderedByOrderWidget(GroupList groups);

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    bool isMagazine() const { return isMagazine_; }
    void setIsMagazine(bool magazine) { isMagazine_ = magazine; }
    double kMinOutlineViewSplit() const { return kMinOutlineViewSplit_; }

    // Loads the names of a browse group; without force, names already held are kept.
    void browseBookWidget(std::string groupCode, bool forceUpdate);
    void browseBookWidgetCode(std::string groupCode) {
        browseBookWidget(std::move(groupCode), false);
    }
    void startBrowseBook(std::string groupCode, bool forceUpdate) {
        browseBookWidget(std::move(groupCode), forceUpdate);
    }
    // Files the names (those with a title) under their index letters.
    void generateBrowseBookGroup(const GroupList& names);

    // The index as a tree: letters (strings) at the top, names (groups) under them.
    int numberOfChildrenOfItem(const plat::Value& item) const;
    plat::Value childOfItem(int index, const plat::Value& item) const;
    bool isItemExpandable(const plat::Value& item) const;
    bool isGroupItem(const plat::Value& item) const;
    bool shouldSelectItem(const plat::Value& item) const;
    bool shouldShowOutlineCellForItem(const plat::Value&) const { return false; }
    void outlineViewSelectionDidChange();

    // The first page of a name's items, and the next page of the name shown.
    void requestItemBookGroupInfo(std::string nameId);
    void requestItemBookGroupInfoContinue();
    void _setContentViewToName(Ref<VnShopGroupInfo> itemGroup);
    void browseListView_continueEvent() { requestItemBookGroupInfoContinue(); }
    void browseListView_selectShopGroupInfo_withHeaderGroupInfo(Ref<plat::Object> list,
                                                                Ref<VnShopGroupInfo> item,
                                                                Ref<VnShopGroupInfo> header);

    // The split of index and list: the index pane's narrowest and widest extent.
    double splitView_constrainMinCoordinate(double proposedMinimum) const {
        return proposedMinimum + kMinOutlineViewSplit_;
    }
    double splitView_constrainMaxCoordinate(double) const { return kMinOutlineViewSplit_ + 100.0; }

    static Ref<VnShopGroupInfo> newShopGroupInfo(const std::string& title, int32_t type);

    // What the view holds.
    const GroupList& gAuthors() const { return gAuthors_; }
    // Whether the names' request asked last has answered, well or not.
    bool namesAnswered() const { return namesAnswered_; }
    const std::vector<Ref<Va3GroupBrowseBook>>& groupBrowseBookArray() const {
        return groupBrowseBookArray_;
    }
    const std::vector<std::string>& groupBrowseKeyArray() const { return groupBrowseKeyArray_; }
    const Ref<VnShopGroupInfo>& currentGroupInfo() const { return currentGroupInfo_; }
    const std::string& currentBookGroupCode() const { return currentBookGroupCode_; }
    const GroupList& groupBookItems() const { return groupBookItems_; }
    bool isBookUpdateItem() const { return isBookUpdateItem_; }
    const Ref<BrowseListView>& browseListView() const { return browseListView_; }

    // Kept for the view's owner; nothing reads them.
    Ref<VnShopGroupInfo> shopGroupInfo;
    plat::Value shopGroupArray;
    plat::Value browseInfoList;

    // Outlets.
    QPointer<QSplitter> splitView;
    QPointer<QTreeWidget> browseListOutlineView;
    QPointer<QWidget> customListMainView;

    // A list of names left empty by a failed load asks again each time it shows.
    void viewDidAppear() override;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    void reloadOutline();
    void setItemsUpdating(bool updating) { isBookUpdateItem_ = updating; }

    WeakRef<plat::Object> delegate_;
    bool isMagazine_ = false;
    double kMinOutlineViewSplit_ = 200.0;
    Ref<BrowseListView> browseListView_;
    GroupList gAuthors_;
    std::vector<Ref<Va3GroupBrowseBook>> groupBrowseBookArray_;
    std::vector<std::string> groupBrowseKeyArray_;
    std::map<std::string, size_t> groupBrowseBookIndexMap_;
    Ref<VnShopGroupInfo> currentGroupInfo_;
    std::string currentBookGroupCode_;
    // The names' group asked for last, and whether its answer came.
    std::string namesGroupCode_;
    bool namesAnswered_ = false;
    // The code whose first page the list shows; paging extends only that list.
    std::string shownBookGroupCode_;
    GroupList groupBookItems_;
    bool isBookUpdateItem_ = false;
    Ref<VnRequestContext> reqGroupAuthor_;
    Ref<VnRequestContext> reqItemGroupBook_;
};
