#include "app/store/detail/ShopDetailMainViewController.h"

#include <QLabel>
#include <QPushButton>
#include <cstdio>
#include <utility>

#include "app/services/LinkRouting.h"
#include "app/store/StoreMessages.h"
#include "app/store/detail/DetailProtocols.h"
#include "app/store/detail/ShopDetailByAuthorView.h"
#include "app/store/detail/ShopDetailInfoItemState.h"
#include "app/store/detail/ShopDetailInfoItemView.h"
#include "app/store/detail/ShopDetailRowViews.h"
#include "app/store/detail/StoreNeighbours.h"
#include "platform/core/Protocol.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/TableView.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(ShopDetailMainViewController, ui::ViewController, [](auto& c) {
    using V = ShopDetailMainViewController;
    c.cls().addProtocolName(detail_protocols::shopDetailInfoItemViewDelegate().name());
    c.cls().addProtocolName(detail_protocols::shopDetailByAuthorViewDelegate().name());
    c.cls().addProtocolName("UriDirectDelegate");
    c.method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method(StoreScreenMessages::kSetMagazineInfo, &V::setMagazineInfo)
        .method(StoreScreenMessages::kSetMagazineIssueInfo, &V::setMagazineIssueInfo)
        .method(StoreScreenMessages::kSetCurrentGroupInfo, &V::setCurrentGroupInfo)
        .method(StoreScreenMessages::kSetIsBook, &V::setIsBook)
        .method(StoreScreenMessages::kSetHeaderTitle, &V::setHeaderTitle)
        .method("backButton_Click:", &V::backButton_Click)
        .method("DirectUriWithLink:", &V::DirectUriWithLink)
        .method("DirectUri:", &V::DirectUri)
        .method(ShopDetailMessages::kInfoItemStartLoading, &V::shopDetailInfoItemStartLoading)
        .method(ShopDetailMessages::kInfoItemLoadComplete, &V::shopDetailInfoItemLoadComplete)
        .method(ShopDetailMessages::kInfoItemPreview, &V::shopDetailInfoItemPreview)
        .method(ShopDetailMessages::kByAuthorSeeAll, &V::shopDetailByAuthorViewSelectSeeAll)
        .method(ShopDetailMessages::kByAuthorSelectIssue, &V::shopDetailByAuthorViewSelectItem)
        .method(UriDirectDelegate::kMagazine, &V::webLinkByMagazineInfo)
        .method(UriDirectDelegate::kMagazinePriceList, &V::webLinkByMagazineInfo)
        .method(UriDirectDelegate::kMagazineIssue, &V::webLinkByIssue)
        .method(UriDirectDelegate::kBook, &V::webLinkByIssue)
        .method(UriDirectDelegate::kLoadFailed, &V::linkLoadFailed)
        .method(VnBookStoreContextObserver::kActiveUserContextDidChange,
                &V::bookStoreContextActiveUserContextDidChange);
})

namespace {

QString textOrDash(const std::optional<std::string>& text) {
    return QString::fromStdString(text.value_or("-"));
}

QString megabytes(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f MB", value);
    return QString::fromUtf8(buffer);
}

template <class View>
View* reusedOrNew(ui::TableView& table, const char* identifier) {
    auto* view = dynamic_cast<View*>(table.makeView(identifier));
    if (!view) {
        view = new View();
        ui::TableView::setIdentifier(view, identifier);
    }
    return view;
}

}  // namespace

void ShopDetailMainViewController::registerResources(ui::ResourceRegistry& registry) {
    detail_protocols::shopDetailMainViewControllerDelegate();
    detail_protocols::previewPopupMainViewDelegate();
    registry.registerController(kStoryboard, kIdentifier, [] {
        return ui::ViewController::create<ShopDetailMainViewController>();
    });
    ShopDetailByAuthorView::registerResources(registry);
}

std::unique_ptr<QWidget> ShopDetailMainViewController::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(800, 600);
    backButton = new QPushButton(QString::fromUtf8("‹ กลับ"), view.get());
    backButton->setFont(ui::thaiCapableFont(13));
    backButton->setGeometry(10, 8, 80, 28);
    QObject::connect(backButton, &QPushButton::clicked,
                     [weak = weakSelf<ShopDetailMainViewController>()] {
                         if (auto screen = weak.lock())
                             screen->backButton_Click(nullptr);
                     });
    titleTextField = new QLabel(view.get());
    titleTextField->setFont(ui::thaiCapableFont(14));
    titleTextField->setGeometry(100, 8, 680, 28);
    mainTableView = new ui::TableView(view.get());
    mainTableView->setGeometry(0, 44, 800, 556);
    ui::setAutoresizingMask(mainTableView, ui::ViewWidthSizable | ui::ViewHeightSizable);
    return view;
}

void ShopDetailMainViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    rows_ = {"Detail", "ByAuthor", "About", "Description"};
    titleTextField->setText(QString::fromStdString(headerTitle_));
    WeakRef<ShopDetailMainViewController> weak = weakSelf<ShopDetailMainViewController>();
    ui::TableView::DataSource source;
    source.numberOfRows = [weak](ui::TableView&) {
        const auto screen = weak.lock();
        return screen ? screen->numberOfRows() : 0;
    };
    source.heightOfRow = [weak](ui::TableView&, int row) {
        const auto screen = weak.lock();
        return screen ? heightOfRowNamed(screen->rows_[static_cast<size_t>(row)]) : 24;
    };
    source.viewForRow = [weak](ui::TableView&, int row) -> QWidget* {
        const auto screen = weak.lock();
        return screen ? screen->viewForRow(row) : nullptr;
    };
    source.shouldSelectRow = [](ui::TableView&, int) { return false; };  // no row is chosen
    mainTableView->setDataSource(std::move(source));
    store_neighbours::observeActiveUserChanges(self());
    store_neighbours::observeLibraryUpdates(self(), [weak] {
        if (const auto screen = weak.lock())
            screen->memberLibraryDidUpdate();
    });
    reloadTable();
}

int ShopDetailMainViewController::heightOfRowNamed(const std::string& name) {
    if (name == "Detail")
        return 355;
    if (name == "ByAuthor")
        return 200;
    if (name == "About")
        return 210;
    if (name == "Description")
        return 165;
    if (name == "Review")
        return 344;
    return 24;
}

void ShopDetailMainViewController::reloadTable() {
    if (mainTableView)
        mainTableView->reloadData();
}

QWidget* ShopDetailMainViewController::viewForRow(int row) {
    if (row < 0 || row >= numberOfRows() || !mainTableView)
        return nullptr;
    ui::TableView& table = *mainTableView;
    const std::string& name = rows_[static_cast<size_t>(row)];
    ShopDetailCellView* cell = nullptr;
    QWidget* made = nullptr;
    if (name == "Detail") {
        detailInfoItemView =
            reusedOrNew<ShopDetailInfoItemView>(table, ShopDetailInfoItemView::kIdentifier);
        const auto& state = detailInfoItemView->state();
        state->setDelegate(self());
        state->setMagazineInfo(magazineInfo_);
        state->setMagazineIssueInfo(magazineIssueInfo_);
        made = detailInfoItemView;
    } else if (name == "ByAuthor") {
        if (!byAuthorView_)
            byAuthorView_ = ui::ViewController::create<ShopDetailByAuthorView>();
        made = byAuthorView_->view();
        table.makeView(ShopDetailByAuthorView::kIdentifier);  // the one view of this row
        ui::TableView::setIdentifier(made, ShopDetailByAuthorView::kIdentifier);
        byAuthorView_->setDelegate(self());
        if (magazineInfo_)
            byAuthorView_->setMagazineInfo(magazineInfo_);
        else
            byAuthorView_->setMagazineIssueInfo(magazineIssueInfo_);
    } else if (name == "About") {
        aboutInfoView =
            reusedOrNew<ShopDetailAboutInfoView>(table, ShopDetailAboutInfoView::kIdentifier);
        QString summary = textOrDash(magazineInfo_ ? magazineInfo_->summary_ : std::nullopt);
        if (isBook_)
            summary = textOrDash(magazineIssueInfo_ ? magazineIssueInfo_->summary_ : std::nullopt);
        aboutInfoView->summaryTextField->setText(summary);
        cell = aboutInfoView;
    } else if (name == "Description") {
        descriptionVitew =
            reusedOrNew<ShopDetailDescriptionView>(table, ShopDetailDescriptionView::kIdentifier);
        const auto& item = magazineIssueInfo_;
        auto* d = descriptionVitew.data();
        d->isbnTextField->setText(textOrDash(item ? item->ISBN_ : std::nullopt));
        d->printLengthTextField->setText(QString::number(item ? item->pageCount_ : 0));
        d->fileSizeTextField->setText(megabytes(item ? item->fileSize_ : 0));
        d->interactiveSizeTextField->setText(megabytes(item ? item->interactiveSize_ : 0));
        d->onSaleDateTextField->setText("-");
        d->countryTextField->setText(textOrDash(item ? item->country_ : std::nullopt));
        d->languageTextField->setText(textOrDash(item ? item->language_ : std::nullopt));
        cell = d;
    } else if (name == "Review") {
        reviewMainView = reusedOrNew<ShopReviewMainView>(table, ShopReviewMainView::kIdentifier);
        cell = reviewMainView;
    }
    if (cell) {
        cell->textField->setText("");
        made = cell;
    }
    return made;
}

void ShopDetailMainViewController::viewWillAppear() {
    ui::ViewController::viewWillAppear();
    if (detailInfoItemView)
        detailInfoItemView->state()->viewWillAppear();
}

void ShopDetailMainViewController::setHeaderTitle(std::string title) {
    headerTitle_ = std::move(title);
    if (titleTextField)
        titleTextField->setText(QString::fromStdString(headerTitle_));
}

void ShopDetailMainViewController::setMagazineIssueInfo(Ref<VnMagazineIssueInfo> item) {
    if (item == magazineIssueInfo_)
        return;
    // Another item: what the last one's actions end later is not what shows from now on.
    leaveLoadingsBehind();
    magazineIssueInfo_ = std::move(item);
    reloadTable();
}

void ShopDetailMainViewController::setCurrentGroupInfo(Ref<VnShopGroupInfo> entry) {
    leaveLoadingsBehind();
    currentGroupInfo_ = std::move(entry);
    if (currentGroupInfo_)
        DirectUriWithLink(currentGroupInfo_->LinkUrl_.value_or(""));
}

void ShopDetailMainViewController::DirectUriWithLink(std::string link) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!link.empty() && blank(link.back()))
        link.pop_back();
    size_t first = 0;
    while (first < link.size() && blank(link[first]))
        ++first;
    DirectUri(link.substr(first));
}

void ShopDetailMainViewController::DirectUri(std::string url) {
    if (!urlDirect_)
        urlDirect_ = LinkRouter::forDelegate(self());
    urlDirect_.cancel();
    urlDirect_.follow(std::move(url));
}

void ShopDetailMainViewController::webLinkByMagazineInfo(Ref<plat::Object>,
                                                         Ref<VnMagazineInfo> magazine) {
    magazineInfo_ = magazine;
    magazineIssueInfo_ = magazine ? magazine->latestIssue_ : nullptr;
    plat::sendIfResponds(delegate_, ShopDetailMessages::kLoadDataInfoComplete);
    reloadTable();
}

void ShopDetailMainViewController::webLinkByIssue(Ref<plat::Object>,
                                                  Ref<VnMagazineIssueInfo> item) {
    magazineInfo_.reset();
    magazineIssueInfo_ = std::move(item);
    plat::sendIfResponds(delegate_, ShopDetailMessages::kLoadDataInfoComplete);
    reloadTable();
}

void ShopDetailMainViewController::linkLoadFailed(Ref<plat::Object>) {
    // No records will come: the screen keeps what it held and is not shown for them, and the
    // container's loading overlay, which waited for them, ends.
    plat::sendIfResponds(delegate_, ShopDetailMessages::kLoadComplete);
}

void ShopDetailMainViewController::backButton_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate_, ShopDetailMessages::kBackToTopView,
                         self<ShopDetailMainViewController>(), std::string());
}

void ShopDetailMainViewController::bookStoreContextActiveUserContextDidChange(Ref<plat::Object>) {
    const bool rowLoadingShown = leaveLoadingsBehind();
    if (detailInfoItemView)
        detailInfoItemView->state()->activeMemberChanged();
    // The rows are built again for the member now signed in, as when the screen is opened anew.
    reloadTable();
    if (rowLoadingShown)
        plat::sendIfResponds(delegate_, ShopDetailMessages::kLoadComplete);
}

void ShopDetailMainViewController::memberLibraryDidUpdate() {
    // Only the information row reads the member's library; a loading its action shows stays.
    if (detailInfoItemView)
        detailInfoItemView->state()->libraryDidUpdate();
}

bool ShopDetailMainViewController::leaveLoadingsBehind() {
    ++loadingMark_;
    return std::exchange(rowLoadingShown_, false);
}

void ShopDetailMainViewController::shopDetailInfoItemStartLoading() {
    ++loadingMark_;
    rowLoadingShown_ = true;
    plat::sendIfResponds(delegate_, ShopDetailMessages::kStartLoading);
}

void ShopDetailMainViewController::shopDetailInfoItemLoadComplete() {
    rowLoadingShown_ = false;
    plat::sendIfResponds(delegate_, ShopDetailMessages::kLoadComplete);
}

void ShopDetailMainViewController::shopDetailInfoItemPreview(Ref<plat::Object>,
                                                             Ref<VnMagazineIssueInfo> item) {
    plat::sendIfResponds(delegate_, ShopDetailMessages::kPreviewIssue,
                         self<ShopDetailMainViewController>(), item);
}

void ShopDetailMainViewController::shopDetailByAuthorViewSelectSeeAll(Ref<plat::Object>,
                                                                      std::string) {
    plat::sendIfResponds(delegate_, ShopDetailMessages::kSeeAllBackIssue,
                         self<ShopDetailMainViewController>(), magazineInfo_);
}

void ShopDetailMainViewController::shopDetailByAuthorViewSelectItem(Ref<plat::Object>,
                                                                    Ref<VnMagazineIssueInfo> item) {
    setMagazineIssueInfo(std::move(item));
}
