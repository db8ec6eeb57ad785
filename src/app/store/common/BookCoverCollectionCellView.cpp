#include "app/store/common/BookCoverCollectionCellView.h"

#include <algorithm>
#include <QLabel>
#include <QPushButton>

#include "app/common/QtImageView.h"
#include "app/common/ScreenTexts.h"
#include "app/store/StoreMessages.h"
#include "platform/core/Log.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(BookCoverCollectionCellView, ui::CollectionViewItem, [](auto& c) {
    c.method("itemButton_Click:", &BookCoverCollectionCellView::itemButton_Click);
    c.method("reloadCoverImage:", &BookCoverCollectionCellView::reloadCoverImage);
})

namespace {
constexpr const char* kCoverBack = "vn3_cover_back.png";
constexpr const char* kCoverFront = "vn3_cover_front.png";

// The cover's shadow, cast by the cover's outline: the placeholder under the picture fills it.
ui::LayerStyle cellShadowStyle() {
    ui::LayerStyle style = coverShadowStyle();
    style.shadowFromBody = true;
    return style;
}

// The click area over the cover: it draws nothing.
class ClearButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent*) override {}
};
}  // namespace

void BookCoverCollectionCellView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController(kStoryboard, kIdentifier, [] {
        return ui::ViewController::create<BookCoverCollectionCellView>();
    });
}

Ref<BookCoverCollectionCellView> BookCoverCollectionCellView::makeFromStoryboard() {
    if (auto cell = ui::ResourceRegistry::shared().instantiate<BookCoverCollectionCellView>(
            kStoryboard, kIdentifier))
        return cell;
    return ui::ViewController::create<BookCoverCollectionCellView>();
}

std::unique_ptr<QWidget> BookCoverCollectionCellView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(kWidth, kHeight);
    viewCover = new ui::LayerView(view.get());
    ui::setFrame(viewCover, {5, 55, 120, 160});
    coverBackgroungImageView = new QLabel(viewCover);
    coverBackgroungImageView->setScaledContents(true);
    coverBackgroungImageView->setGeometry(0, 0, 120, 160);
    auto* cover = new QLabel(viewCover);
    cover->setGeometry(10, 0, 110, 160);
    coverImageView_ = QtImageView::make(cover);
    frontBookImageView = new QLabel(viewCover);
    frontBookImageView->setScaledContents(true);
    frontBookImageView->setGeometry(0, 0, 120, 160);
    frontMagImageView = new QLabel(viewCover);
    frontMagImageView->setGeometry(0, 0, 120, 160);
    frontMagImageView->hide();
    actionButton = new ClearButton(viewCover);
    actionButton->setFlat(true);
    actionButton->setGeometry(0, 0, 120, 160);
    QObject::connect(actionButton, &QPushButton::clicked,
                     [weak = weakSelf<BookCoverCollectionCellView>()] {
                         if (auto cell = weak.lock())
                             cell->itemButton_Click(nullptr);
                     });
    titleTextField = new ui::ElidingLabel(view.get());
    ui::setFrame(titleTextField, {5, 36, 120, 17});
    priceTextField = new ui::ElidingLabel(view.get());
    QPalette grey = priceTextField->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    priceTextField->setPalette(grey);
    ui::setFrame(priceTextField, {5, 20, 120, 17});
    return view;
}

Ref<VnShopGroupInfo> BookCoverCollectionCellView::shopGroupInfo() const {
    return representedObject().as<VnShopGroupInfo>();
}

Ref<VnMagazineInfo> BookCoverCollectionCellView::magazineInfo() const {
    return representedObject().as<VnMagazineInfo>();
}

Ref<VnMagazineIssueInfo> BookCoverCollectionCellView::magazineIssueInfo() const {
    return representedObject().as<VnMagazineIssueInfo>();
}

void BookCoverCollectionCellView::viewDidAppear() {
    ui::CollectionViewItem::viewDidAppear();
    if (representedObject().isNil())
        return;
    view();
    const auto& registry = ui::ResourceRegistry::shared();
    const QImage back = registry.imageNamed(kCoverBack);
    // The frame pictures are set once: a reused cell shows them already.
    for (const auto& [label, name] : {std::pair{coverBackgroungImageView.data(), kCoverBack},
                                      std::pair{frontBookImageView.data(), kCoverFront}}) {
        const QPixmap picture = registry.pixmapNamed(name);
        if (label->pixmap().cacheKey() != picture.cacheKey())
            label->setPixmap(picture);
    }
    if (auto group = representedObject().as<VnShopGroupInfo>()) {
        titleTextField->setText(objectText(group->Title_));
        priceTextField->setText(objectText(group->Description_));
        coverImageView_->setImageWithURL(group->ImageUrl_, back);
    } else if (auto magazine = representedObject().as<VnMagazineInfo>()) {
        titleTextField->setText(objectText(magazine->name()));
        priceTextField->setText(objectText(
            magazine->latestIssue_ ? magazine->latestIssue_->issueName() : std::nullopt));
        coverImageView_->setImageWithURL(magazine->coverUrl_, back);
    } else if (auto issue = representedObject().as<VnMagazineIssueInfo>()) {
        titleTextField->setText(objectText(issue->issueName()));
        priceTextField->setText("");
        coverImageView_->setImageWithURL(issue->coverUrl_, back);
    }
    viewCover->setLayerStyle(cellShadowStyle());
    layOutTitle();
}

void BookCoverCollectionCellView::layOutTitle() {
    // Under the cover: the title on one line of 17, or on two of 31 when it is wider than the
    // cover, and the second line under it; taller where the text needs it (Thai marks). Two
    // lines that would not leave the second line room under the cover give one line, elided.
    const QRectF cover = ui::frame(viewCover);
    const double x = cover.x() + 4;
    const double width = cover.width() - 8;
    // Setting the wrap anew drops what the label measured of its text: only a change is set.
    if (titleTextField->wordWrap())
        titleTextField->setWordWrap(false);
    titleTextField->resize(static_cast<int>(width), 17);
    const double oneLine = std::max(17, ui::textRoomHeight(titleTextField));
    QRectF title{x, cover.y() - 2 - oneLine, width, oneLine};
    const double secondHeight = std::max(17, ui::textRoomHeight(priceTextField));
    if (ui::naturalTextWidth(titleTextField) > width) {
        titleTextField->setWordWrap(true);
        const double twoLines = std::max(31, ui::textRoomHeight(titleTextField));
        const double second = priceTextField->text().isEmpty() ? 0 : secondHeight - 1;
        if (6 + twoLines + second <= cover.y())
            title = {x, cover.y() - 6 - twoLines, width, twoLines};
        else
            titleTextField->setWordWrap(false);
    }
    ui::setFrame(titleTextField, title);
    ui::setFrame(priceTextField, {x, title.y() + 1 - secondHeight, width, secondHeight});
}

void BookCoverCollectionCellView::itemButton_Click(Ref<plat::Object>) {
    plat::systemLog("double click in the collectionItem");
    ui::CollectionView* grid = collectionView();
    if (!grid)
        return;
    plat::sendIfResponds(grid->delegate(), StoreListMessages::kBookCoverCellSelect,
                         self<BookCoverCollectionCellView>());
}
