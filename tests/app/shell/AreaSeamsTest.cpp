// The seams between areas: each has one provider, and the start check names every seam that has
// none or two.
#include <gtest/gtest.h>

#include "app/services/AreaSeams.h"
#include "app/services/IssueOpening.h"
#include "app/services/LibraryShelves.h"
#include "app/services/MainWindow.h"
#include "app/services/StoreNavigation.h"
#include "support/CapturedLog.h"

namespace {

struct Shelves : LibraryShelves {
    void refreshShelves(bool force) override { refreshes.push_back(force); }
    void cancelLoading() override {}
    void loanTaken() override {}
    std::vector<bool> refreshes;
};
struct Window : MainWindow {
    std::optional<QRect> frame() const override { return QRect(1, 2, 3, 4); }
    void show() override {}
    void hide() override {}
};
struct Store : StoreNavigation {
    Ref<plat::Object> makeFeaturePage(const std::string&, const Ref<plat::Object>&) override {
        return nullptr;
    }
    Ref<plat::Object> makePage(Page, const Ref<plat::Object>&) override { return nullptr; }
    void startSearch(const Ref<plat::Object>&, const std::string&) override {}
};
struct Opening : IssueOpening {
    bool openIssue(const Ref<VnMagazineIssueInfo>&, std::function<void()>) override { return true; }
};

std::string failure(const AreaSeams& seams) {
    try {
        seams.requireComplete();
    } catch (const SeamError& e) {
        return e.what();
    }
    return {};
}

TEST(AreaSeamsTest, StartNamesEverySeamWithoutItsOneProvider) {
    AreaSeams seams;
    EXPECT_FALSE(seams.get<LibraryShelves>()) << "an unbound seam answers null";
    const std::string none = failure(seams);
    for (const char* seam : {"LibraryShelves", "MainWindow", "StoreNavigation", "IssueOpening"})
        EXPECT_NE(none.find(std::string("the seam ") + seam + " has no provider"),
                  std::string::npos)
            << none;

    const auto shelves = std::make_shared<Shelves>();
    seams.bind<LibraryShelves>(shelves, "library");
    seams.bind<MainWindow>(std::make_shared<Window>(), "shell");
    seams.bind<StoreNavigation>(std::make_shared<Store>(), "store");
    const std::string one = failure(seams);
    EXPECT_EQ(one, "The program's areas are not wired:\n  the seam IssueOpening has no provider");
    seams.bind<IssueOpening>(std::make_shared<Opening>(), "library");
    EXPECT_TRUE(seams.problems().empty());
    EXPECT_NO_THROW(seams.requireComplete());
    seams.get<LibraryShelves>()->refreshShelves(true);
    EXPECT_EQ(shelves->refreshes, std::vector<bool>{true});
    EXPECT_EQ(seams.get<MainWindow>()->frame(), QRect(1, 2, 3, 4));

    // The same area binding again (as every screen test registers its areas) takes the new one.
    const auto again = std::make_shared<Shelves>();
    seams.bind<LibraryShelves>(again, "library");
    EXPECT_EQ(seams.get<LibraryShelves>(), again);
    EXPECT_TRUE(seams.problems().empty());

    // A second provider is refused, said, and fails the start; the first stays.
    const auto lines = testing_support::logged(
        [&] { seams.bind<LibraryShelves>(std::make_shared<Shelves>(), "store"); });
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("the seam LibraryShelves has two providers: library and store"),
              std::string::npos);
    EXPECT_EQ(seams.get<LibraryShelves>(), again);
    EXPECT_EQ(failure(seams),
              "The program's areas are not wired:\n  the seam LibraryShelves has two providers: "
              "library and store");

    seams.clear();
    EXPECT_FALSE(seams.get<LibraryShelves>());
    EXPECT_EQ(seams.problems().size(), 4u);
}

}  // namespace
