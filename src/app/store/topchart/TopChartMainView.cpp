#include "app/store/topchart/TopChartMainView.h"

#include <QHBoxLayout>

#include "app/store/StoreMessages.h"
#include "app/store/topchart/TopChartListViewController.h"
#include "app/store/topchart/TopChartProtocols.h"
#include "platform/core/Protocol.h"
#include "platform_ui/ResourceRegistry.h"
#include "platform_ui/ViewGeometry.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(TopChartMainView, ui::ViewController, [](auto& c) {
    using V = TopChartMainView;
    c.cls().addProtocolName(topchart_protocols::topChartListViewDelegate().name());
    c.method(StoreScreenMessages::kSetDelegate, &V::setDelegate)
        .method(StoreListMessages::kTopChartListSelect, &V::topChartListView);
})

TopChartMainView::TopChartMainView() : ui::ViewController(kNibName) {}

void TopChartMainView::registerResources(ui::ResourceRegistry& registry) {
    registry.registerController("", kNibName,
                                [] { return ui::ViewController::create<TopChartMainView>(); });
}

std::unique_ptr<QWidget> TopChartMainView::loadView() {
    auto view = std::make_unique<QWidget>();
    view->resize(1024, 700);
    auto* layout = new QHBoxLayout(view.get());
    layout->setContentsMargins(8, 8, 8, 8);
    topChartView1 = new QWidget(view.get());
    topChartView2 = new QWidget(view.get());
    topChartView3 = new QWidget(view.get());
    for (QWidget* place : {topChartView1.data(), topChartView2.data(), topChartView3.data()})
        layout->addWidget(place, 1);
    layout->activate();

    static const struct {
        const char* typeProduct;
        const char* paid;
        const char* free;
    } kColumns[] = {{"Books", "0.topseller_book_paid", "0.topseller_book_free"},
                    {"Magazines", "0.topseller_magazine_paid", "0.topseller_magazine_free"},
                    {"Newspapers", "0.topseller_newspaper_paid", "0.topseller_newspaper_free"}};
    for (size_t i = 0; i < 3; ++i) {
        auto column = ui::ResourceRegistry::shared().instantiate<TopChartListViewController>(
            "", TopChartListViewController::kNibName);
        if (!column)
            column = ui::ViewController::create<TopChartListViewController>();
        column->typeProduct = kColumns[i].typeProduct;
        column->topSellerCodePaid = kColumns[i].paid;
        column->topSellerCodeFree = kColumns[i].free;
        columns_[i] = std::move(column);
    }
    for (const auto& column : columns_)
        column->setDelegate(self());
    QWidget* places[] = {topChartView1, topChartView2, topChartView3};
    for (size_t i = 0; i < 3; ++i) {
        QWidget* columnView = columns_[i]->view();
        columnView->setParent(places[i]);
        columnView->setGeometry(places[i]->rect());
        ui::setAutoresizingMask(columnView, ui::ViewWidthSizable | ui::ViewHeightSizable);
    }
    return view;
}

void TopChartMainView::topChartListView(Ref<plat::Object>, Ref<VnShopGroupInfo> entry,
                                        Ref<VnShopGroupInfo> category) {
    plat::sendIfResponds(delegate_, StoreListMessages::kTopChartSelect, self<TopChartMainView>(),
                         std::move(entry), std::move(category));
}

Ref<VnShopGroupInfo> TopChartMainView::newShopGroupInfo(const std::string& title,
                                                        const std::string& description,
                                                        const std::string& imageUrl, int32_t type,
                                                        int32_t orderWidget) {
    auto group = std::make_shared<VnShopGroupInfo>();
    group->Title_ = title;
    group->Description_ = description;
    group->ImageUrl_ = imageUrl;
    group->Type_ = type;
    group->OrderWidget_ = orderWidget;
    return group;
}
