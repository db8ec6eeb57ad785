#include "platform_ui/CollectionView.h"

#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <algorithm>

#include "platform/runloop/NotificationCenter.h"

PLAT_DEFINE_CLASS(ui::CollectionViewItem, ui::ViewController, PLAT_NO_METHODS)

namespace ui {

CollectionView::CollectionView(QWidget* parent)
    : QAbstractScrollArea(parent), boundsObject_(std::make_shared<plat::Object>()) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void CollectionView::setScrollDirection(ScrollDirection direction) {
    direction_ = direction;
    setHorizontalScrollBarPolicy(horizontal() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(horizontal() ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    relayout();
}

int CollectionView::lineStep() const {
    return (horizontal() ? itemSize_.width() : itemSize_.height()) + spacing_;
}

int CollectionView::scrollOffset() const {
    return horizontal() ? horizontalScrollBar()->value() : verticalScrollBar()->value();
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
    relayout();
    // Items still on screen keep their places; one given another object is told it went and
    // came back, as a reused item is, but it is not hidden and shown, which would have the whole
    // grid laid out and painted again.
    const std::vector<std::pair<int, Ref<CollectionViewItem>>> kept(live_.begin(), live_.end());
    for (const auto& [index, item] : kept) {
        // What an item did on being told may have changed the grid.
        if (itemAtIndex(index) != item)
            continue;
        const plat::Value& object = content_[static_cast<size_t>(index)];
        if (item->representedObject() == object)
            continue;
        const bool shown = item->view()->isVisible();
        if (shown) {
            item->viewWillDisappear();
            item->viewDidDisappear();
        }
        item->setRepresentedObject(object);
        if (shown) {
            item->viewWillAppear();
            item->viewDidAppear();
        }
    }
}

void CollectionView::appendContent(std::vector<plat::Value> more) {
    if (more.empty())
        return;
    content_.insert(content_.end(), std::make_move_iterator(more.begin()),
                    std::make_move_iterator(more.end()));
    updateScrollBars();
    setNeedsTile();
}

void CollectionView::setNeedsTile() {
    if (tilePending_)
        return;
    tilePending_ = true;
    const QPointer<CollectionView> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (self)
                self->tileIfNeeded();
        },
        Qt::QueuedConnection);
}

void CollectionView::tileIfNeeded() const {
    // The items shown are the grid's state as callers see it: a pending tile is made now.
    if (tilePending_) {
        auto* self = const_cast<CollectionView*>(this);
        self->tilePending_ = false;
        self->tile();
    }
}

int CollectionView::columns() const {
    return std::max(1, (viewport()->width() - spacing_) / (itemSize_.width() + spacing_));
}

QRect CollectionView::rectOfItem(int index) const {
    if (index < 0 || index >= static_cast<int>(content_.size()))
        return {};
    const int perLine = itemsPerLine();
    const int along = spacing_ + (index / perLine) * lineStep() - scrollOffset();
    const int across = spacing_ + (index % perLine) * (itemSize_.width() + spacing_);
    return horizontal() ? QRect(QPoint(along, spacing_), itemSize_)
                        : QRect(QPoint(across, along), itemSize_);
}

int CollectionView::indexAt(const QPoint& point) const {
    const int perLine = itemsPerLine();
    const int along = (horizontal() ? point.x() : point.y()) + scrollOffset() - spacing_;
    const int across = horizontal() ? 0 : point.x() - spacing_;
    if (along < 0 || across < 0)
        return -1;
    const int column = across / (itemSize_.width() + spacing_);
    const int index = (along / lineStep()) * perLine + column;
    if (column >= perLine || index >= static_cast<int>(content_.size()) ||
        !rectOfItem(index).contains(point))
        return -1;
    return index;
}

QSize CollectionView::contentSize() const {
    const int perLine = itemsPerLine();
    const int lines = (static_cast<int>(content_.size()) + perLine - 1) / perLine;
    const int extent = spacing_ + lines * lineStep();
    return horizontal() ? QSize(extent, viewport()->height()) : QSize(viewport()->width(), extent);
}

QRect CollectionView::visibleRect() const {
    const QPoint origin = horizontal() ? QPoint(scrollOffset(), 0) : QPoint(0, scrollOffset());
    return QRect(origin, viewport()->size());
}

void CollectionView::postBoundsDidChange() {
    plat::NotificationCenter::defaultCenter().postNotificationName(kViewBoundsDidChangeNotification,
                                                                   boundsObject_);
}

Ref<CollectionViewItem> CollectionView::itemAtIndex(int index) const {
    tileIfNeeded();
    const auto it = live_.find(index);
    return it == live_.end() ? nullptr : it->second;
}

void CollectionView::relayout() {
    updateScrollBars();
    tilePending_ = false;
    tile();
}

void CollectionView::updateScrollBars() {
    const QSize size = contentSize();
    const int extent = horizontal() ? size.width() : size.height();
    const int visible = horizontal() ? viewport()->width() : viewport()->height();
    QScrollBar* bar = horizontal() ? horizontalScrollBar() : verticalScrollBar();
    bar->setRange(0, std::max(0, extent - visible));
    bar->setPageStep(visible);
    bar->setSingleStep(lineStep() / 4 + 1);
}

void CollectionView::tile() {
    const int perLine = itemsPerLine();
    const int visible = horizontal() ? viewport()->width() : viewport()->height();
    const int firstLine = std::max(0, (scrollOffset() - spacing_) / lineStep());
    const int lastLine = (scrollOffset() + visible) / lineStep();
    const int first = firstLine * perLine;
    const int last = std::min(static_cast<int>(content_.size()) - 1, (lastLine + 1) * perLine - 1);
    // Items that leave the visible lines go first to the indexes that come into view, still
    // shown: they are told they went and came back, as setContent tells items given another
    // object, without being hidden and shown again (which has each of their widgets shown anew).
    std::vector<Ref<CollectionViewItem>> leaving;
    for (auto it = live_.begin(); it != live_.end();) {
        if (it->first < first || it->first > last) {
            leaving.push_back(it->second);
            it = live_.erase(it);
        } else {
            ++it;
        }
    }
    std::reverse(leaving.begin(), leaving.end());  // taken from the back, in their order
    for (int index = first; index <= last; ++index) {
        Ref<CollectionViewItem>& item = live_[index];
        if (!item && !leaving.empty()) {
            item = std::move(leaving.back());
            leaving.pop_back();
            const bool shown = item->view()->isVisible();
            if (shown) {
                item->viewWillDisappear();
                item->viewDidDisappear();
            }
            item->setRepresentedObject(content_[static_cast<size_t>(index)]);
            item->view()->setGeometry(rectOfItem(index));
            if (shown) {
                item->viewWillAppear();
                item->viewDidAppear();
            } else {
                item->view()->show();
            }
            continue;
        }
        if (!item) {
            if (!reusable_.empty()) {
                item = reusable_.back();
                reusable_.pop_back();
            } else if (factory_) {
                item = factory_();
                ++made_;
                if (item) {
                    item->setCollectionView(this);
                    item->view()->setParent(viewport());
                }
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
    for (auto& item : leaving) {
        item->view()->hide();
        reusable_.push_back(std::move(item));
    }
}

void CollectionView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
    postBoundsDidChange();
}

void CollectionView::scrollContentsBy(int, int) {
    setNeedsTile();
    postBoundsDidChange();
}

void CollectionView::mousePressEvent(QMouseEvent* event) {
    const int index = indexAt(event->position().toPoint());
    if (index >= 0)
        plat::sendIfResponds(delegate_.lock(), CollectionViewDelegate::kDidSelectItemAtIndex, this,
                             index);
}

}  // namespace ui
