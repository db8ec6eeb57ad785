#pragma once
// SearchMainView: the search page's main view, made under ("SearchViewStoryboard",
// "SearchMainView"): two type buttons (books, magazines), a result line and a grid of covers that
// grows page by page while the member scrolls. startSearch: searches the text in the selected
// type from the first page (an empty text changes nothing); switching the type searches the same
// text again. Pages are numberLimitLoadOfItem (48) long and start at 48 times the number of next
// pages asked for; one request runs at a time, for both types. A click on a result goes to the
// delegate (SearchMainViewDelegate) by the record's own class: a book or issue as
// "searchMainView:selectBookIssueInfo:", a magazine as "searchMainView:selectMagazineInfo:".
#include <QPointer>
#include <string>
#include <vector>

#include "platform/core/Value.h"
#include "platform_ui/ViewController.h"

class QLabel;
class QPushButton;
class QAbstractScrollArea;
class VnDomainUpdatingRequest;
class VnRequestResult;
namespace ui {
class CollectionView;
class ResourceRegistry;
}  // namespace ui

class SearchMainView : public ui::ViewController {
    PLAT_CLASS(SearchMainView)
  public:
    static constexpr const char* kStoryboard = "SearchViewStoryboard";
    static constexpr const char* kIdentifier = "SearchMainView";

    SearchMainView() = default;
    ~SearchMainView() override;
    static void registerResources(ui::ResourceRegistry& registry);
    // The result line: 'ค้นหา "<text>" พบจำนวน <n>', or 'ไม่พบ "<text>"' for none.
    static std::string resultText(const std::string& text, size_t count);

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    void viewDidLoad() override;
    void startSearch(std::string text);
    void cancelSearch();
    void bookButton_Click(Ref<plat::Object> sender);
    void magazineButton_Click(Ref<plat::Object> sender);
    void startSearchBook(std::string text);
    void startSearchMagazine(std::string text);
    void continueSearchBook(std::string text);
    void continueSearchMagazine(std::string text);
    // Each bounds change of the grid: a next page when its end is in view.
    void scrollViewDidScroll();
    void bookCoverCollectionCellSelect(Ref<plat::Object> cell);
    void btnBorder();
    void bookSelected();
    void bookUnselected();
    void magazineSelected();
    void magazineUnselected();
    void bookInfoUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);
    void bookInfoContinueUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);
    void magazineInfoUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);
    void magazineInfoContinueUpdate(Ref<plat::Object> request, Ref<VnRequestResult> result);

    const std::string& keyword() const { return keyword_; }
    bool isBook() const { return isBook_; }
    const std::string& currentTextSearch() const { return currentTextSearch_; }
    int startRangeBook() const { return book_.startRange; }
    int startRangeMagazine() const { return magazine_.startRange; }
    int moreCountBook() const { return book_.moreCount; }
    int moreCountMagazine() const { return magazine_.moreCount; }
    bool isUpdateBook() const { return book_.isUpdate; }
    bool isUpdateMagazine() const { return magazine_.isUpdate; }
    const Ref<VnDomainUpdatingRequest>& searchRequest() const { return searchRequest_; }
    // The results shown: book records or magazine records, in display order.
    const std::vector<plat::Value>& magazineIssueInfos() const { return magazineIssueInfos_; }

    // Outlets.
    QPointer<ui::CollectionView> collectionView;
    QPointer<QAbstractScrollArea> scrollView;
    QPointer<QLabel> resultSearchTextField;
    QPointer<QPushButton> bookButton;
    QPointer<QPushButton> magazineButton;
    QPointer<QLabel> bookText;
    QPointer<QLabel> magazineText;

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    // What each type keeps: where its last page started, how many next pages were asked for,
    // and whether its last request has finished (so a next page may start).
    struct TypeState {
        int startRange = 0;
        int moreCount = 0;
        bool isUpdate = false;
    };
    // The type switch; a change searches the keyword again.
    void chooseType(bool books);
    void startFirstPage(bool books, std::string text);
    // Asks for the page of the text from `start` in place of the request before.
    void searchPage(bool books, const std::string& text, int start, const char* prefix);
    void continueSearch(bool books, const std::string& text);
    void firstPageArrived(bool books, const Ref<VnRequestResult>& result);
    void nextPageArrived(bool books, const Ref<VnRequestResult>& result);
    void setResults(std::vector<plat::Value> results);
    void dropRequest();
    void colour(QPushButton* button, QLabel* caption, bool selected);

    WeakRef<plat::Object> delegate_;
    std::string keyword_;
    bool isBook_ = true;
    std::string currentTextSearch_;
    TypeState book_;
    TypeState magazine_;
    Ref<VnDomainUpdatingRequest> searchRequest_;
    std::vector<plat::Value> magazineIssueInfos_;
    uint64_t boundsObservation_ = 0;
};
