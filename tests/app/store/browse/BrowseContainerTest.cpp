// The browse page over doubles: the container's moves and overlay, and the main view's tabs and
// pop-ups choosing the browse lists.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include "ContainerDoubles.h"
#include "OffscreenApplication.h"
#include "app/store/StoreResources.h"
#include "app/store/browse/BrowseMainView.h"
#include "app/store/browse/BrowseMainViewController.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

using testing_support::ContainerDoubles;
using testing_support::DynamicObject;
using testing_support::sentArgument;
using testing_support::shopGroup;

namespace {

class BrowseScreenTest : public ::testing::Test {
  protected:
    void SetUp() override { registerStoreResources(ui::ResourceRegistry::shared()); }
    void TearDown() override {
        container.reset();
        ui::ResourceRegistry::shared().removeController("", "BrowseSubView");
        registerStoreResources(ui::ResourceRegistry::shared());
        testing_support::runDeferredDeletions();
    }
    Ref<BrowseMainViewController> container;
};

TEST_F(BrowseScreenTest, ContainerMovesBetweenListsDetailAndBackIssuesWithTheOverlay) {
    ContainerDoubles doubles;
    // The main view starts its first list as soon as it has its delegate, as the real one does.
    doubles.install();
    doubles.installMain("", "BrowseMainView", {"setDelegate:"},
                        [](const Ref<plat::Object>& delegate) {
                            plat::send(delegate, "browseMainViewStartLoading");
                        });
    container = ui::ResourceRegistry::shared().instantiate<BrowseMainViewController>(
        "", "BrowseMainViewController");
    ASSERT_TRUE(container);
    doubles.overlayShown = [this] { return container->isOverlayShown(); };
    container->view()->resize(900, 700);
    container->view()->show();
    ASSERT_EQ(doubles.mains.size(), 1u);
    const auto main = doubles.mains[0];
    // The first list loads without a visible overlay.
    EXPECT_FALSE(container->isOverlayShown());
    EXPECT_EQ(container->currentChild(), main);
    EXPECT_EQ(sentArgument<Ref<plat::Object>>(*doubles.loadings.at(0), "setDelegate:", 0),
              container);
    EXPECT_FALSE(container->previewPopupMainView());
    plat::send(container, "browseMainViewStartLoading");
    EXPECT_TRUE(container->isOverlayShown());
    plat::send(container, "browseMainViewLoadComplete");
    EXPECT_FALSE(container->isOverlayShown());

    // An item of an author's list: overlay at once, the detail told the kind and the header.
    const char* select = "browseMainView:selectShopGroupInfo:withHeaderGroupInfo:";
    plat::send(container, select, main, shopGroup("ข้างหลังภาพ", "code:book:BK0001"),
               shopGroup("ศรีบูรพา"));
    EXPECT_EQ(doubles.overlayWhileRouting, std::vector<bool>{true});
    ASSERT_EQ(doubles.details.size(), 1u);
    const auto detail = doubles.details[0];
    EXPECT_EQ(sentArgument<bool>(*detail, "setIsBook:", 0), true);
    EXPECT_EQ(sentArgument<std::string>(*detail, "setHeaderTitle:", 0), "หนังสือ / ศรีบูรพา");
    EXPECT_EQ(container->currentChild(), main);
    EXPECT_TRUE(container->isOverlayShown());

    // Loaded: the main view gives way to the detail; its back issues and back.
    plat::send(container, "shopDetailMainViewLoadDataInfoComplete");
    EXPECT_FALSE(container->isOverlayShown());
    EXPECT_EQ(container->currentChild(), detail);
    plat::send(container, "shopDetailMainView:seeAllBackIssue:", detail,
               std::make_shared<VnMagazineInfo>());
    ASSERT_EQ(doubles.backIssues.size(), 1u);
    EXPECT_EQ(container->currentChild(), doubles.backIssues[0]);
    EXPECT_EQ(doubles.backIssues[0]->view()->parentWidget(), container->mainView.data());
    plat::send(container, "shopBackIssueView:backFromBackIssueView:", doubles.backIssues[0],
               std::string());
    EXPECT_FALSE(container->shopBackIssueMainView());
    EXPECT_EQ(container->currentChild(), detail);
    plat::send(container, "shopDetailMainView:backToTopView:", detail, std::string());
    EXPECT_FALSE(container->shopDetailMainView());
    EXPECT_EQ(container->currentChild(), main);

    // A magazine's issue: a new detail with the magazine kind word.
    plat::send(container, select, main, shopGroup("ฉบับ", "code:issue:MG01-2403"),
               shopGroup("สุขภาพดี"));
    ASSERT_EQ(doubles.details.size(), 2u);
    EXPECT_EQ(sentArgument<std::string>(*doubles.details[1], "setHeaderTitle:", 0),
              "นิตยสาร / สุขภาพดี");

    // Links that lead to no screen of this page take the overlay away; nothing else moves.
    for (const char* link : {"code:list:77.paid", "code:featured:9", "https://example.org/x"}) {
        plat::send(container, select, main, shopGroup("x", link), shopGroup("y"));
        EXPECT_FALSE(container->isOverlayShown()) << link;
        EXPECT_EQ(container->currentChild(), main);
    }
    EXPECT_TRUE(doubles.lists.empty());
    EXPECT_EQ(doubles.opened, std::vector<std::string>{"https://example.org/x"});
    // A link without an answer keeps it until cancel, which only hides it.
    plat::send(container, select, main, shopGroup("z", "varnel.kel://shop/audio?id=1"),
               shopGroup("y"));
    EXPECT_TRUE(container->isOverlayShown());
    plat::send(container, "HZLoading_CancelClick:", doubles.loadings[0]);
    EXPECT_FALSE(container->isOverlayShown());
    EXPECT_EQ(doubles.routers.size(), 1u);

    // What this page does not answer is never sent to it.
    for (const char* sel : {"shopDetailMainView:previewMagazineIssueInfo:",
                            "shopBackIssueView:selectMagazineIssueInfo:",
                            "shopCategoryMainView:backToTopView:", "UriDirect_CompleteLoad:",
                            "previewPopupMainViewClose", "shopFeatureMainViewLoadComplete"})
        EXPECT_FALSE(container->respondsToSelector(sel)) << sel;
    EXPECT_TRUE(container->respondsToSelector("Va3ShopDetailMainViewController_CompleteLoad:"));
    doubles.uninstall();
}

TEST_F(BrowseScreenTest, TabsAndPopUpsChooseTheListAndEveryClickLoadsItAgain) {
    std::vector<Ref<DynamicObject>> subs;
    ui::ResourceRegistry::shared().replaceController("", "BrowseSubView", [&subs] {
        auto sub = DynamicObject::make();
        sub->on("setDelegate:").on("setIsMagazine:").on("browseBookWidget:isForceUpdate:");
        subs.push_back(sub);
        return std::static_pointer_cast<plat::Object>(sub);
    });
    auto main = ui::ResourceRegistry::shared().instantiate<BrowseMainView>("", "BrowseMainView");
    ASSERT_TRUE(main);
    auto owner = DynamicObject::make();
    owner->on("browseMainViewStartLoading")
        .on("browseMainViewLoadComplete")
        .on("browseMainView:selectShopGroupInfo:withHeaderGroupInfo:");
    main->setDelegate(owner);
    // Made at once: books by author, magazines by title (told so), then the two publisher lists.
    ASSERT_EQ(subs.size(), 4u);
    EXPECT_EQ(main->browseBookSubView(), subs[0]);
    EXPECT_EQ(main->browseMagazineSubView(), subs[1]);
    EXPECT_EQ(main->publisherBookSuvView(), subs[2]);
    EXPECT_EQ(main->publisherMagSubView(), subs[3]);
    EXPECT_EQ(subs[1]->count("setIsMagazine:"), 1u);
    EXPECT_EQ(subs[0]->count("setIsMagazine:") + subs[2]->count("setIsMagazine:") +
                  subs[3]->count("setIsMagazine:"),
              0u);
    const auto asked = [&](size_t sub) {
        std::vector<std::string> codes;
        for (auto& a : subs[sub]->arguments("browseBookWidget:isForceUpdate:")) {
            codes.push_back(std::any_cast<std::string>(a[0]));
            EXPECT_TRUE(std::any_cast<bool>(a[1]));
        }
        return codes;
    };

    // The first show lists books by author, the book tab marked.
    main->view();
    EXPECT_EQ(asked(0), std::vector<std::string>{"0.browse.author"});
    EXPECT_EQ(main->currentSubView(), subs[0]);
    EXPECT_TRUE(main->bookButton->isChecked());
    EXPECT_FALSE(main->magazineButton->isChecked());
    EXPECT_FALSE(main->bookPopUpButton->isHidden());
    EXPECT_TRUE(main->magazinePopUpButton->isHidden());

    // The publisher item (tag 1) of the book pop-up; the magazine tab keeps its own choice.
    main->bookPopUpButton->setCurrentIndex(main->bookPopUpButton->findData(1));
    main->bookPopUpButton_Click(nullptr);
    EXPECT_TRUE(main->isPublisherBook());
    EXPECT_EQ(asked(2), std::vector<std::string>{"0.browse.publisher_book"});
    main->magazineButton_Click(nullptr);
    EXPECT_EQ(asked(1), std::vector<std::string>{"0.browse.magazine"});
    EXPECT_TRUE(main->magazineButton->isChecked());
    EXPECT_FALSE(main->bookButton->isChecked());
    EXPECT_TRUE(main->bookPopUpButton->isHidden());
    EXPECT_FALSE(main->magazinePopUpButton->isHidden());
    main->magazinePopUpButton->setCurrentIndex(main->magazinePopUpButton->findData(1));
    main->magazinePopUpButton_Click(nullptr);
    EXPECT_EQ(asked(3), std::vector<std::string>{"0.browse.publisher_magazine"});
    // Back to books: the publisher list again, asked again; another item lists authors again.
    main->bookButton_Click(nullptr);
    EXPECT_EQ(asked(2),
              (std::vector<std::string>{"0.browse.publisher_book", "0.browse.publisher_book"}));
    EXPECT_EQ(main->currentSubView(), subs[2]);
    main->bookPopUpButton->setCurrentIndex(0);
    main->bookPopUpButton_Click(nullptr);
    EXPECT_EQ(asked(0), (std::vector<std::string>{"0.browse.author", "0.browse.author"}));
    EXPECT_EQ(asked(3).size(), 1u);

    // The lists' reports go up with the main view as sender.
    plat::send(main, "browseSubViewStartLoading");
    plat::send(main, "browseSubViewLoadComplete");
    const auto item = shopGroup("item");
    const auto header = shopGroup("name");
    plat::send(main, "browseSubView:selectShopGroupInfo:withHeaderGroupInfo:", subs[0], item,
               header);
    EXPECT_EQ(owner->calls(), (std::vector<std::string>{
                                  "browseMainViewStartLoading", "browseMainViewLoadComplete",
                                  "browseMainView:selectShopGroupInfo:withHeaderGroupInfo:"}));
    const char* select = "browseMainView:selectShopGroupInfo:withHeaderGroupInfo:";
    EXPECT_EQ(sentArgument<Ref<plat::Object>>(*owner, select, 0, 0), main);
    EXPECT_EQ(sentArgument<Ref<VnShopGroupInfo>>(*owner, select, 0, 1), item);
    EXPECT_EQ(sentArgument<Ref<VnShopGroupInfo>>(*owner, select, 0, 2), header);
}

}  // namespace
