#pragma once
// ui::CollectionView: a grid of items of one size that builds only the items on screen. Items
// are view controllers made by the item factory; an item that leaves the screen is reused for
// another with a new represented object, and gets viewDidAppear each time it is shown. The
// delegate (not retained) may answer "collectionView:didSelectItemAtIndex:".
#include <QAbstractScrollArea>
#include <functional>
#include <map>
#include <vector>

#include "platform/core/Value.h"
#include "platform_ui/ViewController.h"

namespace ui {

class CollectionViewItem : public ViewController {
    PLAT_CLASS(CollectionViewItem)
  public:
    using ViewController::ViewController;
    const plat::Value& representedObject() const { return representedObject_; }
    virtual void setRepresentedObject(const plat::Value& object) { representedObject_ = object; }

  private:
    plat::Value representedObject_;
};

class CollectionView : public QAbstractScrollArea {
  public:
    using ItemFactory = std::function<Ref<CollectionViewItem>()>;

    explicit CollectionView(QWidget* parent = nullptr);
    ~CollectionView() override;

    void setItemFactory(ItemFactory factory) { factory_ = std::move(factory); }
    void setItemSize(const QSize& size);
    void setSpacing(int spacing);
    void setContent(std::vector<plat::Value> content);
    const std::vector<plat::Value>& content() const { return content_; }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    // The live item of an index on screen (null otherwise).
    Ref<CollectionViewItem> itemAtIndex(int index) const;
    int liveItemCount() const { return static_cast<int>(live_.size()); }
    int madeItemCount() const { return made_; }
    QRect rectOfItem(int index) const;
    int indexAt(const QPoint& viewportPoint) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    int columns() const;
    void relayout();
    void tile();

    ItemFactory factory_;
    QSize itemSize_{120, 160};
    int spacing_ = 10;
    std::vector<plat::Value> content_;
    std::map<int, Ref<CollectionViewItem>> live_;
    std::vector<Ref<CollectionViewItem>> reusable_;
    WeakRef<plat::Object> delegate_;
    int made_ = 0;
};

}  // namespace ui
