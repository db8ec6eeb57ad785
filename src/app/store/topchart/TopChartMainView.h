#pragma once
// TopChartMainView: the top chart's main view, made under ("", "TopChartMainView"): three
// columns side by side (books, magazines, newspapers), each a TopChartListViewController made
// under ("", "TopChartListViewController") with its kind and chart codes, and loaded (so woken)
// here. A click in any column goes up to the delegate (TopChartMainViewDelegate).
#include <QPointer>
#include <string>

#include "platform_ui/ViewController.h"

class TopChartListViewController;
class VnShopGroupInfo;
namespace ui {
class ResourceRegistry;
}

class TopChartMainView : public ui::ViewController {
    PLAT_CLASS(TopChartMainView)
  public:
    static constexpr const char* kNibName = "TopChartMainView";

    TopChartMainView();
    static void registerResources(ui::ResourceRegistry& registry);

    Ref<plat::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<plat::Object>& delegate) { delegate_ = delegate; }

    void topChartListView(Ref<plat::Object> column, Ref<VnShopGroupInfo> entry,
                          Ref<VnShopGroupInfo> category);
    // A new group with these fields; nothing calls it.
    static Ref<VnShopGroupInfo> newShopGroupInfo(const std::string& title,
                                                 const std::string& description,
                                                 const std::string& imageUrl, int32_t type,
                                                 int32_t orderWidget);

    // Outlets: where the three columns stand.
    QPointer<QWidget> topChartView1;
    QPointer<QWidget> topChartView2;
    QPointer<QWidget> topChartView3;
    const Ref<TopChartListViewController>& topChartBookView() const { return columns_[0]; }
    const Ref<TopChartListViewController>& topChartMagazineView() const { return columns_[1]; }
    const Ref<TopChartListViewController>& topChartNewspaperView() const { return columns_[2]; }

  protected:
    std::unique_ptr<QWidget> loadView() override;

  private:
    WeakRef<plat::Object> delegate_;
    Ref<TopChartListViewController> columns_[3];
};
