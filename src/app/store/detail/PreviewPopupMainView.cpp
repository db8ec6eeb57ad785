#include "app/store/detail/PreviewPopupMainView.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>

#include "app/store/StoreMessages.h"
#include "app/store/detail/StoreNeighbours.h"
#include "platform/image/Image.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/dev/request/VnRequestResult.h"
#include "vnlib/dev/util/VndObject.h"
#include "vnlib/domain/content/VnMagazineIssueContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

PLAT_DEFINE_CLASS(PreviewObjectItem, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(PreviewPopupItemView, ui::CollectionViewItem, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(PreviewPopupMainView, ui::ViewController, [](auto& c) {
    c.method(StoreScreenMessages::kSetMagazineIssueInfo,
             &PreviewPopupMainView::setMagazineIssueInfo)
        .method("closeButton_Click:", &PreviewPopupMainView::closeButton_Click)
        .method(StoreScreenMessages::kSetDelegate, &PreviewPopupMainView::setDelegate);
})

// ---- A page cell -------------------------------------------------------------------------------

PreviewPopupItemView::~PreviewPopupItemView() {
    if (request_)
        request_->cancel();
}

std::unique_ptr<QWidget> PreviewPopupItemView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(kWidth, kHeight);
    imgPreview = new QLabel(view.get());
    imgPreview->setScaledContents(true);
    imgPreview->setGeometry(0, 0, kWidth, kHeight);
    imgPreview->setStyleSheet("background: #eeeeee");
    return view;
}

void PreviewPopupItemView::viewDidAppear() {
    ui::CollectionViewItem::viewDidAppear();
    view();
    const auto page = representedObject().as<PreviewObjectItem>();
    const auto user = store_neighbours::activeUserContext();
    if (!page || !page->issueInfo || !user)
        return;
    const auto context = user->magazineIssueContextWithInfo(page->issueInfo);
    if (!context)
        return;
    request_ = context->requestForPreviewPage(page->indexPage);
    request_->startWithDidFinishBlock([weak = weakSelf<PreviewPopupItemView>(), page](
                                          const Ref<VnRequestResult>& r, const plat::Value& v) {
        const auto cell = weak.lock();
        // Only while the cell still shows that page.
        if (!cell || !r || !r->succeed() || cell->representedObject().object() != page ||
            !cell->imgPreview)
            return;
        const auto proxy = v.as<VndDataProxy>();
        const auto bytes = proxy ? proxy->data() : std::nullopt;
        const auto image = bytes ? plat::Image::imageWithData(*bytes) : nullptr;
        if (image)
            cell->imgPreview->setPixmap(QPixmap::fromImage(image->qimage()));
    });
}

// ---- The popup ---------------------------------------------------------------------------------

void PreviewPopupMainView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(kStoryboard, kIdentifier,
                                [] { return ui::ViewController::create<PreviewPopupMainView>(); });
    registry.registerController(kStoryboard, kItemIdentifier,
                                [] { return ui::ViewController::create<PreviewPopupItemView>(); });
}

void PreviewPopupMainView::awakeFromNib() {
    ui::ViewController::awakeFromNib();
    view();
    collectionView->setItemFactory([]() -> Ref<ui::CollectionViewItem> {
        if (auto cell = ui::ResourceRegistry::shared().instantiate<ui::CollectionViewItem>(
                kStoryboard, kItemIdentifier))
            return cell;
        return ui::ViewController::create<PreviewPopupItemView>();
    });
}

std::unique_ptr<QWidget> PreviewPopupMainView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(700, 420);
    view->setStyleSheet("background: white");
    closeButton = new QPushButton(QString::fromUtf8("ปิด"), view.get());
    closeButton->setGeometry(620, 6, 70, 26);
    QObject::connect(closeButton, &QPushButton::clicked, [weak = weakSelf<PreviewPopupMainView>()] {
        if (auto popup = weak.lock())
            popup->closeButton_Click(nullptr);
    });
    collectionView = new ui::CollectionView(view.get());
    collectionView->setGeometry(0, 38, 700, 382);
    ui::setAutoresizingMask(collectionView, ui::ViewWidthSizable | ui::ViewHeightSizable);
    collectionView->setItemSize({PreviewPopupItemView::kWidth, PreviewPopupItemView::kHeight});
    return view;
}

void PreviewPopupMainView::setMagazineIssueInfo(Ref<VnMagazineIssueInfo> issue) {
    if (issue == magazineIssueInfo_)
        return;
    magazineIssueInfo_ = std::move(issue);
    items_.clear();
    // A page count beyond any real issue is taken as that many at most.
    const int32_t pages =
        magazineIssueInfo_ ? std::clamp(magazineIssueInfo_->pageCount_, 0, kMaxPages) : 0;
    for (int32_t index = 0; index < pages; ++index) {
        auto item = std::make_shared<PreviewObjectItem>();
        item->issueInfo = magazineIssueInfo_;
        item->indexPage = index;
        items_.push_back(std::move(item));
    }
    collectionView->setContent(std::vector<plat::Value>(items_.begin(), items_.end()));
}

void PreviewPopupMainView::closeButton_Click(Ref<plat::Object>) {
    plat::sendIfResponds(delegate_, ShopDetailMessages::kPreviewPopupClose);
}
