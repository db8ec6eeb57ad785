#include "app/library/LibraryBookShelfCollectionCellView.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/common/QtImageView.h"
#include "app/library/LibraryResources.h"
#include "app/library/LibraryTexts.h"
#include "platform/core/Log.h"
#include "platform_ui/Controls.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

PLAT_DEFINE_CLASS(LibraryBookShelfCollectionCellView, ui::CollectionViewItem, [](auto& c) {
    using C = LibraryBookShelfCollectionCellView;
    c.method("itemButton_Click:", &C::itemButton_Click)
        .method("actionButton_Click:", &C::actionButton_Click)
        .method("deleteButton_Click:", &C::deleteButton_Click)
        .method("stopDownloadButton_Click:", &C::stopDownloadButton_Click);
})

namespace {

constexpr const char* kCoverPlaceholder = "vn3_cover_back.png";
constexpr QSize kCoverSize(120, 160);  // the placeholder's size
// The cover's shadow: dark grey, no offset, a blur of 2 points (two box passes of that radius,
// drawn in a margin twice as wide around the cover).
constexpr int kShadowBlur = 2;
constexpr int kShadowMargin = 2 * kShadowBlur;

// One box-blur pass of the alpha values along rows (step 1) or columns (step width).
void boxBlur(std::vector<float>& alpha, int width, int height, bool rows) {
    const std::vector<float> source = alpha;
    const int lines = rows ? height : width;
    const int length = rows ? width : height;
    const auto at = [&](int line, int i) -> size_t {
        return rows ? size_t(line) * size_t(width) + size_t(i)
                    : size_t(i) * size_t(width) + size_t(line);
    };
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < length; ++i) {
            float sum = 0;
            for (int k = -kShadowBlur; k <= kShadowBlur; ++k) {
                const int j = i + k;
                if (j >= 0 && j < length)
                    sum += source[at(line, j)];
            }
            alpha[at(line, i)] = sum / float(2 * kShadowBlur + 1);
        }
    }
}

// The shadow of a cover, drawn once: the cover's area in dark grey, blurred, in the margin.
const QImage& coverShadow() {
    static const QImage shadow = [] {
        const int width = kCoverSize.width() + 2 * kShadowMargin;
        const int height = kCoverSize.height() + 2 * kShadowMargin;
        std::vector<float> alpha(size_t(width) * size_t(height), 0.0f);
        for (int y = kShadowMargin; y < height - kShadowMargin; ++y) {
            for (int x = kShadowMargin; x < width - kShadowMargin; ++x)
                alpha[size_t(y) * size_t(width) + size_t(x)] = 1.0f;
        }
        for (int pass = 0; pass < 2; ++pass) {
            boxBlur(alpha, width, height, true);
            boxBlur(alpha, width, height, false);
        }
        QImage image(width, height, QImage::Format_ARGB32);
        const QColor grey(Qt::darkGray);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const float a = alpha[size_t(y) * size_t(width) + size_t(x)];
                image.setPixel(x, y, qRgba(grey.red(), grey.green(), grey.blue(), int(a * 255)));
            }
        }
        return image;
    }();
    return shadow;
}

// The area of the cover and its shadow: the shadow painted from its one drawing, the cover in
// the middle.
class CoverArea : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, coverShadow()); }
};

// The cover: its picture stretched over it, drawn straight (no scaled copy is made while the
// picture has the cover's size).
class CoverLabel : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent*) override {
        const QPixmap picture = pixmap();
        if (!picture.isNull())
            QPainter(this).drawPixmap(rect(), picture);
    }
};

// The click area over the cover: it draws nothing.
class CoverButton : public QAbstractButton {
  public:
    using QAbstractButton::QAbstractButton;

  protected:
    void paintEvent(QPaintEvent*) override {}
};

}  // namespace

struct LibraryBookShelfCollectionCellView::Outlets {
    QPointer<QWidget> root;
    QPointer<QProgressBar> downloadProgress;
    QPointer<QLabel> titleTextField;
    QPointer<QLabel> descriptionTextField;
    QPointer<QLabel> dueDateTextField;
    QPointer<QLabel> coverImageView;
    QPointer<QAbstractButton> itemSelectButton;
    QPointer<QPushButton> removeButton;
    QPointer<QPushButton> deleteButton;
    QPointer<QPushButton> stopDownloadButton;
};

LibraryBookShelfCollectionCellView::LibraryBookShelfCollectionCellView()
    : ui::CollectionViewItem(kIdentifier), outlets_(std::make_unique<Outlets>()) {}

LibraryBookShelfCollectionCellView::~LibraryBookShelfCollectionCellView() = default;

Ref<LibraryBookShelfCollectionCellView> LibraryBookShelfCollectionCellView::makeFromStoryboard() {
    if (auto cell = ui::ResourceRegistry::shared().instantiate<LibraryBookShelfCollectionCellView>(
            LibraryScreens::kShelfCell))
        return cell;
    return ui::ViewController::create<LibraryBookShelfCollectionCellView>();
}

std::unique_ptr<QWidget> LibraryBookShelfCollectionCellView::loadView() {
    Outlets& o = *outlets_;
    auto view = std::make_unique<QWidget>();
    view->setFont(ui::thaiCapableFont(12));
    view->resize(kWidth, kHeight);
    o.root = view.get();

    // The cover with its shadow.
    auto* holder = new CoverArea(view.get());  // owned by the view
    ui::setFrame(holder, {15.0 - kShadowMargin, 100.0 - kShadowMargin,
                          double(kCoverSize.width() + 2 * kShadowMargin),
                          double(kCoverSize.height() + 2 * kShadowMargin)});
    const QRect coverRect(QPoint(kShadowMargin, kShadowMargin), kCoverSize);
    o.coverImageView = new CoverLabel(holder);
    o.coverImageView->setGeometry(coverRect);
    cover_ = QtImageView::make(o.coverImageView);

    const auto button =
        [this](QWidget* parent, const char* title, const QRectF& frame,
               void (LibraryBookShelfCollectionCellView::*action)(const Ref<plat::Object>&)) {
            auto* b = new QPushButton(QString::fromUtf8(title), parent);  // owned by its parent
            ui::setFrame(b, frame);
            QObject::connect(b, &QPushButton::clicked, b,
                             [weak = weakSelf<LibraryBookShelfCollectionCellView>(), action] {
                                 if (auto cell = weak.lock())
                                     ((*cell).*action)(nullptr);
                             });
            return b;
        };
    // The item button lies over the whole cover.
    auto* itemButton = new CoverButton(holder);  // owned by the holder
    itemButton->setGeometry(coverRect);
    QObject::connect(itemButton, &QAbstractButton::clicked, itemButton,
                     [weak = weakSelf<LibraryBookShelfCollectionCellView>()] {
                         if (auto cell = weak.lock())
                             cell->itemButton_Click(nullptr);
                     });
    o.itemSelectButton = itemButton;
    o.removeButton = button(view.get(), "คืน", {85, 102, 48, 24},
                            &LibraryBookShelfCollectionCellView::actionButton_Click);
    o.deleteButton = button(view.get(), "ลบ", {85, 102, 48, 24},
                            &LibraryBookShelfCollectionCellView::deleteButton_Click);
    o.stopDownloadButton = button(view.get(), "×", {111, 160, 24, 24},
                                  &LibraryBookShelfCollectionCellView::stopDownloadButton_Click);
    o.downloadProgress = new QProgressBar(view.get());
    o.downloadProgress->setRange(0, 100);
    o.downloadProgress->setTextVisible(false);
    ui::setFrame(o.downloadProgress, {15, 164, 92, 16});

    const auto label = [&](const QRectF& frame) {
        auto* l = new ui::ElidingLabel(view.get());  // owned by the view
        ui::setFrame(l, frame);
        return l;
    };
    o.titleTextField = label({5, 74, 140, 20});
    o.descriptionTextField = label({5, 54, 140, 18});
    o.dueDateTextField = label({5, 34, 140, 18});
    QPalette grey = o.dueDateTextField->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    o.dueDateTextField->setPalette(grey);
    o.removeButton->hide();
    o.deleteButton->hide();
    o.stopDownloadButton->hide();
    o.downloadProgress->hide();
    // The download display sits on the cover.
    o.downloadProgress->raise();
    o.stopDownloadButton->raise();
    return view;
}

void LibraryBookShelfCollectionCellView::setRepresentedObject(const plat::Value& object) {
    ui::CollectionViewItem::setRepresentedObject(object);
    const auto info = object.as<LibraryShelfBookInfo>();
    if (!info || !info->magazineIssueInfo)
        return;
    view();
    Outlets& o = *outlets_;
    const auto& item = *info->magazineIssueInfo;
    o.removeButton->setVisible(info->removeMode && !item.isSample_);
    o.deleteButton->setVisible(info->removeMode && item.isSample_);
    o.stopDownloadButton->setVisible(info->isLoading);
    o.downloadProgress->setVisible(info->isLoading);
    downloadMode_ = info->isLoading;
    o.downloadProgress->setMaximum(100);
    o.downloadProgress->setValue(progressBarValue(info->current).value_or(0));
    const auto texts = shelfCellTexts(item, info->isBook);
    o.titleTextField->setText(QString::fromStdString(texts.title));
    o.descriptionTextField->setText(QString::fromStdString(texts.description));
    o.dueDateTextField->setText(QString::fromStdString(texts.dueDate));
    // The same cover, shown or on its way, is left as it is; a failed one is asked again.
    const QImage& placeholder = ui::ResourceRegistry::shared().imageNamed(kCoverPlaceholder);
    const bool coverShown =
        cover_->af_imageRequestOperation() || cover_->image().cacheKey() != placeholder.cacheKey();
    if (item.coverUrl_ && item.coverUrl_ == coverUrl_ && coverShown)
        return;
    coverUrl_ = item.coverUrl_;
    cover_->setImageWithURL(item.coverUrl_, placeholder);
}

Ref<VnMagazineIssueInfo> LibraryBookShelfCollectionCellView::magazienIssueInfo() const {
    const auto info = representedObject().as<LibraryShelfBookInfo>();
    return info ? info->magazineIssueInfo : nullptr;
}

void LibraryBookShelfCollectionCellView::setRemoveMode(bool removeMode) {
    removeMode_ = removeMode;
    if (outlets_->removeButton)
        outlets_->removeButton->setVisible(removeMode);
}

void LibraryBookShelfCollectionCellView::setDownloadMode(bool downloadMode) {
    downloadMode_ = downloadMode;
    if (outlets_->stopDownloadButton)
        outlets_->stopDownloadButton->setVisible(downloadMode);
    if (outlets_->downloadProgress)
        outlets_->downloadProgress->setVisible(downloadMode);
}

std::optional<int> LibraryBookShelfCollectionCellView::progressBarValue(double value) {
    if (std::isnan(value))
        return std::nullopt;
    return static_cast<int>(std::clamp(value, 0.0, 100.0));
}

void LibraryBookShelfCollectionCellView::setDownloadProgressValue(double value) {
    const auto shown = progressBarValue(value);
    if (outlets_->downloadProgress && shown)
        outlets_->downloadProgress->setValue(*shown);
}

bool LibraryBookShelfCollectionCellView::isOnScreen() const {
    return outlets_->root && !outlets_->root->isHidden();
}

void LibraryBookShelfCollectionCellView::tellShelf(const char* selector) {
    if (const auto* grid = collectionView())
        plat::sendIfResponds(grid->delegate(), selector, self());
}

void LibraryBookShelfCollectionCellView::itemButton_Click(const Ref<plat::Object>&) {
    // In return mode a borrowed item's cover opens nothing.
    if (outlets_->removeButton && !outlets_->removeButton->isHidden())
        return;
    plat::systemLog("double click in the collectionItem");
    tellShelf("libraryBookCollectionCellSelect:");
}

void LibraryBookShelfCollectionCellView::actionButton_Click(const Ref<plat::Object>&) {
    plat::systemLog("action click in the collectionItem");
    tellShelf("libraryBookCollectionCellRemove:");
}

void LibraryBookShelfCollectionCellView::deleteButton_Click(const Ref<plat::Object>&) {
    plat::systemLog("delete click in the collectionItem");
    tellShelf("libraryBookCollectionCellDelete:");
}

void LibraryBookShelfCollectionCellView::stopDownloadButton_Click(const Ref<plat::Object>&) {
    plat::systemLog("action click in the collectionItem");
    tellShelf("libraryBookShelfCellStopDownload:");
}

QProgressBar* LibraryBookShelfCollectionCellView::downloadProgress() const {
    return outlets_->downloadProgress;
}
QLabel* LibraryBookShelfCollectionCellView::titleTextField() const {
    return outlets_->titleTextField;
}
QLabel* LibraryBookShelfCollectionCellView::descriptionTextField() const {
    return outlets_->descriptionTextField;
}
QLabel* LibraryBookShelfCollectionCellView::dueDateTextField() const {
    return outlets_->dueDateTextField;
}
QLabel* LibraryBookShelfCollectionCellView::coverImageView() const {
    return outlets_->coverImageView;
}
QAbstractButton* LibraryBookShelfCollectionCellView::itemSelectButton() const {
    return outlets_->itemSelectButton;
}
QPushButton* LibraryBookShelfCollectionCellView::removeButton() const {
    return outlets_->removeButton;
}
QPushButton* LibraryBookShelfCollectionCellView::deleteButton() const {
    return outlets_->deleteButton;
}
QPushButton* LibraryBookShelfCollectionCellView::stopDownloadButton() const {
    return outlets_->stopDownloadButton;
}
