#include "platform_ui/CollectionView.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

PLAT_DEFINE_CLASS(ui::CollectionViewItem, ui::ViewController, PLAT_NO_METHODS)

namespace ui {

CollectionView::CollectionView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

CollectionView::~CollectionView() {
    // Item views are children of the viewport and go with it; the items must not outlive them
    // holding dangling views.
    for (auto& [index, item] : live_)
        item->removeFromContainer();
    for (auto& item : reusable_)
        item->removeFromContainer();
}

void CollectionView::setItemSize(const QSize& size) {
    itemSize_ = size.expandedTo(QSize(1, 1));
    relayout();
}

void CollectionView::setSpacing(int spacing) {
    spacing_ = std::max(0, spacing);
    relayout();
}

void CollectionView::setContent(std::vector<plat::Value> content) {
    content_ = std::move(content);
    for (auto& [index, item] : live_) {
        item->view()->hide();
        reusable_.push_back(item);
    }
    live_.clear();
    relayout();
}

int CollectionView::columns() const {
    return std::max(1, (viewport()->width() - spacing_) / (itemSize_.width() + spacing_));
}

QRect CollectionView::rectOfItem(int index) const {
    if (index < 0 || index >= static_cast<int>(content_.size()))
        return {};
    const int c = columns();
    const int x = spacing_ + (index % c) * (itemSize_.width() + spacing_);
    const int y = spacing_ + (index / c) * (itemSize_.height() + spacing_);
    return QRect(QPoint(x, y - verticalScrollBar()->value()), itemSize_);
}

int CollectionView::indexAt(const QPoint& point) const {
    const int c = columns();
    const int y = point.y() + verticalScrollBar()->value() - spacing_;
    const int x = point.x() - spacing_;
    if (x < 0 || y < 0)
        return -1;
    const int column = x / (itemSize_.width() + spacing_),
              row = y / (itemSize_.height() + spacing_);
    const int index = row * c + column;
    if (column >= c || index >= static_cast<int>(content_.size()) ||
        !rectOfItem(index).contains(point))
        return -1;
    return index;
}

Ref<CollectionViewItem> CollectionView::itemAtIndex(int index) const {
    const auto it = live_.find(index);
    return it == live_.end() ? nullptr : it->second;
}

void CollectionView::relayout() {
    const int rows = (static_cast<int>(content_.size()) + columns() - 1) / columns();
    const int height = spacing_ + rows * (itemSize_.height() + spacing_);
    verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(itemSize_.height() / 4 + 1);
    tile();
}

void CollectionView::tile() {
    const int c = columns();
    const int rowHeight = itemSize_.height() + spacing_;
    const int firstRow = std::max(0, (verticalScrollBar()->value() - spacing_) / rowHeight);
    const int lastRow = (verticalScrollBar()->value() + viewport()->height()) / rowHeight;
    const int first = firstRow * c;
    const int last = std::min(static_cast<int>(content_.size()) - 1, (lastRow + 1) * c - 1);
    for (auto it = live_.begin(); it != live_.end();) {
        if (it->first < first || it->first > last) {
            it->second->view()->hide();
            reusable_.push_back(it->second);
            it = live_.erase(it);
        } else {
            ++it;
        }
    }
    for (int index = first; index <= last; ++index) {
        Ref<CollectionViewItem>& item = live_[index];
        if (!item) {
            if (!reusable_.empty()) {
                item = reusable_.back();
                reusable_.pop_back();
            } else if (factory_) {
                item = factory_();
                ++made_;
                if (item)
                    item->view()->setParent(viewport());
            }
            if (!item) {
                live_.erase(index);
                continue;
            }
            item->setRepresentedObject(content_[static_cast<size_t>(index)]);
        }
        item->view()->setGeometry(rectOfItem(index));
        item->view()->show();
    }
}

void CollectionView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void CollectionView::scrollContentsBy(int, int) {
    tile();
}

void CollectionView::mousePressEvent(QMouseEvent* event) {
    const int index = indexAt(event->position().toPoint());
    if (index >= 0)
        plat::sendIfResponds(delegate_.lock(), "collectionView:didSelectItemAtIndex:", this, index);
}

}  // namespace ui
