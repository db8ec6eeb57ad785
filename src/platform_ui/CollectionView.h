#pragma once
// ui::CollectionView: a grid of items of one size that builds only the items on screen. Items
// are view controllers made by the item factory; an item that leaves the screen is reused for
// another with a new represented object, and gets viewDidAppear each time it is shown. New
// content leaves the items on screen in their places: one whose object changes gets it, between
// viewDidDisappear and viewDidAppear, as a reused one does; the others are left alone. An item
// knows the grid that shows it, and through it the grid's delegate (not retained), which may
// answer "collectionView:didSelectItemAtIndex:" and whatever messages the items send it. A grid
// scrolls vertically in rows, or horizontally as a strip of one row. Each scroll and resize
// posts kViewBoundsDidChangeNotification with the grid's bounds object; visibleRect answers the
// part of the content on screen. Items carry a selected flag that their subclasses may show.
#include <QAbstractScrollArea>
#include <QPointer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/core/Message.h"
#include "platform/core/Value.h"
#include "platform_ui/ViewController.h"

namespace ui {

inline const std::string kViewBoundsDidChangeNotification = "NSViewBoundsDidChangeNotification";

class CollectionView;

class CollectionViewItem : public ViewController {
    PLAT_CLASS(CollectionViewItem)
  public:
    using ViewController::ViewController;
    const plat::Value& representedObject() const { return representedObject_; }
    virtual void setRepresentedObject(const plat::Value& object) { representedObject_ = object; }
    bool isSelected() const { return selected_; }
    // Subclasses that show the selection override this and call it.
    virtual void setSelected(bool selected) { selected_ = selected; }

    // The grid that made this item (null before, and once the grid is gone).
    CollectionView* collectionView() const { return collectionView_; }
    void setCollectionView(CollectionView* view) { collectionView_ = view; }

  private:
    plat::Value representedObject_;
    QPointer<CollectionView> collectionView_;
    bool selected_ = false;
};

class CollectionView;

// The grid's delegate message for a clicked item: the grid and the item's index.
struct CollectionViewDelegate {
    static constexpr plat::Message<void(CollectionView*, int)> kDidSelectItemAtIndex{
        "collectionView:didSelectItemAtIndex:"};
};

class CollectionView : public QAbstractScrollArea {
  public:
    using ItemFactory = std::function<Ref<CollectionViewItem>()>;
    enum class ScrollDirection { Vertical, Horizontal };

    explicit CollectionView(QWidget* parent = nullptr);
    ~CollectionView() override;

    void setItemFactory(ItemFactory factory) { factory_ = std::move(factory); }
    void setItemSize(const QSize& size);
    void setSpacing(int spacing);
    void setContent(std::vector<plat::Value> content);
    // Adds objects after the last: the items shown keep theirs.
    void appendContent(std::vector<plat::Value> more);
    const std::vector<plat::Value>& content() const { return content_; }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }
    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    // Vertical (rows, the default) or horizontal (one row).
    void setScrollDirection(ScrollDirection direction);
    ScrollDirection scrollDirection() const { return direction_; }

    // The live item of an index on screen (null otherwise).
    Ref<CollectionViewItem> itemAtIndex(int index) const;
    int liveItemCount() const {
        tileIfNeeded();
        return static_cast<int>(live_.size());
    }
    int madeItemCount() const { return made_; }
    QRect rectOfItem(int index) const;
    int indexAt(const QPoint& viewportPoint) const;

    // The object of the grid's bounds notifications (the grid's content view), to observe them
    // by.
    const Ref<plat::Object>& boundsObject() const { return boundsObject_; }
    // The part of the content on screen, in content coordinates (y down from the content's top),
    // and the size of the whole content.
    QRect visibleRect() const;
    QSize contentSize() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    bool horizontal() const { return direction_ == ScrollDirection::Horizontal; }
    int columns() const;
    // Items across the scrolling direction, the step from one line of items to the next along
    // it, and how far the grid is scrolled.
    int itemsPerLine() const { return horizontal() ? 1 : columns(); }
    int lineStep() const;
    int scrollOffset() const;
    void relayout();
    void updateScrollBars();
    void tile();
    // A tile on the next event-loop turn, before the grid paints: a page appended and a scroll
    // that follows it at once lay their items out once, where the grid ends up. Whatever reads
    // the items shown makes a pending tile at once.
    void setNeedsTile();
    void tileIfNeeded() const;
    void postBoundsDidChange();

    ItemFactory factory_;
    QSize itemSize_{120, 160};
    int spacing_ = 10;
    std::vector<plat::Value> content_;
    std::map<int, Ref<CollectionViewItem>> live_;
    std::vector<Ref<CollectionViewItem>> reusable_;
    WeakRef<plat::Object> delegate_;
    ScrollDirection direction_ = ScrollDirection::Vertical;
    int made_ = 0;
    bool tilePending_ = false;
    Ref<plat::Object> boundsObject_;
};

}  // namespace ui
