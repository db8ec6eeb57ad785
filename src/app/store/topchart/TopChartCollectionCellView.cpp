#include "app/store/topchart/TopChartCollectionCellView.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>

#include "app/common/QtImageView.h"
#include "app/common/ScreenTexts.h"
#include "app/store/StoreMessages.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(TopChartCollectionCellView, ui::CollectionViewItem, [](auto& c) {
    c.method("itemButton_Click:", &TopChartCollectionCellView::itemButton_Click);
})

namespace {
constexpr const char* kCoverBack = "vn3_cover_back.png";
// Where the title and the description stand when the title fits on one line (y up).
const QRectF kTitleFrame{112, 90, 190, 20};
const QRectF kDescriptionFrame{112, 65, 190, 20};
}  // namespace

std::unique_ptr<QWidget> TopChartCollectionCellView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(kWidth, kHeight);
    // The interface's own background is empty; even positions get the striped picture.
    bgCategory = new QLabel(view.get());
    bgCategory->setScaledContents(true);
    bgCategory->setGeometry(0, 0, kWidth, kHeight);
    rankTextFielad = new QLabel(view.get());
    rankTextFielad->setFont(ui::thaiCapableFont(18));
    rankTextFielad->setAlignment(Qt::AlignCenter);
    ui::setFrame(rankTextFielad, {0, 45, 36, 30});
    coverFrame = new ui::LayerView(view.get());
    ui::setFrame(coverFrame, {38, 8, 70, 100});
    auto* cover = new QLabel(coverFrame);
    cover->setScaledContents(true);
    cover->setGeometry(0, 0, 70, 100);
    coverImageView_ = QtImageView::make(cover);
    titleTextField = new QLabel(view.get());
    titleTextField->setFont(ui::thaiCapableFont(11));
    titleTextField->setWordWrap(true);
    titleTextField->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui::setFrame(titleTextField, kTitleFrame);
    descriptionTextField = new QLabel(view.get());
    descriptionTextField->setFont(ui::thaiCapableFont(11));
    descriptionTextField->setStyleSheet("color: gray");
    ui::setFrame(descriptionTextField, kDescriptionFrame);
    auto* button = new QPushButton(view.get());
    button->setFlat(true);
    button->setStyleSheet("background: transparent; border: none");
    button->setGeometry(0, 0, kWidth, kHeight);
    QObject::connect(button, &QPushButton::clicked,
                     [weak = weakSelf<TopChartCollectionCellView>()] {
                         if (auto cell = weak.lock())
                             cell->itemButton_Click(nullptr);
                     });
    return view;
}

Ref<VnShopGroupInfo> TopChartCollectionCellView::shopGroupInfo() const {
    return representedObject().as<VnShopGroupInfo>();
}

int TopChartCollectionCellView::position() const {
    const auto entry = shopGroupInfo();
    const ui::CollectionView* grid = collectionView();
    if (!entry || !grid)
        return -1;
    const auto& content = grid->content();
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i].as<VnShopGroupInfo>() == entry)
            return static_cast<int>(i);
    }
    return -1;
}

void TopChartCollectionCellView::viewDidAppear() {
    ui::CollectionViewItem::viewDidAppear();
    fill();
    layOutTitle();
}

void TopChartCollectionCellView::fill() {
    view();
    coverFrame->setLayerStyle(coverShadowStyle());
    const auto entry = shopGroupInfo();
    if (!entry)
        return;
    titleTextField->setText(objectText(entry->Title_));
    descriptionTextField->setText(objectText(entry->Description_));
    coverImageView_->setImageWithURL(entry->ImageUrl_,
                                     ui::ResourceRegistry::shared().imageNamed(kCoverBack));
    const int index = position();
    rankTextFielad->setText(index < 0 ? QString() : QString::number(index + 1));
    // A reused cell leaves the picture of its former position behind.
    if (index >= 0 && index % 2 == 0)
        bgCategory->setPixmap(
            QPixmap::fromImage(ui::ResourceRegistry::shared().imageNamed(kEvenBackground)));
    else
        bgCategory->setPixmap(QPixmap());
}

void TopChartCollectionCellView::layOutTitle() {
    // A reused cell starts from the one-line places.
    ui::setFrame(titleTextField, kTitleFrame);
    ui::setFrame(descriptionTextField, kDescriptionFrame);
    const QFontMetricsF metrics(titleTextField->font());
    if (metrics.horizontalAdvance(titleTextField->text()) <= kTitleFrame.width())
        return;
    const float coverY = static_cast<float>(ui::frame(coverFrame).y());
    const QRectF title{kTitleFrame.x(), coverY + 75.0f, kTitleFrame.width(), 35.0};
    ui::setFrame(titleTextField, title);
    ui::setFrame(descriptionTextField, {kDescriptionFrame.x(), title.y() - 60.0,
                                        kDescriptionFrame.width(), kDescriptionFrame.height()});
}

void TopChartCollectionCellView::itemButton_Click(Ref<plat::Object>) {
    if (const ui::CollectionView* grid = collectionView())
        plat::sendIfResponds(grid->delegate(), StoreListMessages::kTopChartCellSelect,
                             self<TopChartCollectionCellView>());
}
