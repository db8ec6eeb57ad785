// The browse index: the letter of a name, the order of the letters and what the index holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/store/browse/BrowseSubView.h"
#include "app/store/browse/DirectoryIndexCharOfName.h"
#include "app/store/browse/Va3GroupBrowseBook.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

namespace {

std::string letterOf(const char* name) {
    return QString(QChar(DirectoryIndexCharOfName(QString::fromUtf8(name)))).toStdString();
}

Ref<VnShopGroupInfo> name(std::optional<std::string> title, int order = 0) {
    auto info = std::make_shared<VnShopGroupInfo>();
    info->Title_ = std::move(title);
    info->Id_ = info->Title_.value_or("none");
    info->OrderWidget_ = order;
    return info;
}

std::vector<std::string> titles(const std::vector<Ref<VnShopGroupInfo>>& names) {
    std::vector<std::string> out;
    for (const auto& n : names)
        out.push_back(n->Title_.value_or("?"));
    return out;
}

TEST(BrowseIndexTest, LettersOfLatinThaiAndOtherNames) {
    EXPECT_EQ(letterOf("éclair"), "É");
    EXPECT_EQ(letterOf("abc"), "A");
    EXPECT_EQ(letterOf("Zola"), "Z");
    EXPECT_EQ(letterOf("1984"), "#");
    EXPECT_EQ(letterOf("(x"), "#");
    EXPECT_EQ(letterOf(" space"), "#");
    // Thai: the first consonant, also behind a vowel written before it.
    EXPECT_EQ(letterOf("เกม"), "ก");
    EXPECT_EQ(letterOf("ไทยรัฐ"), "ท");
    EXPECT_EQ(letterOf("ฮา"), "ฮ");
    // Above U+00FF without a Thai consonant: the upper-cased first unit ("ÿ" becomes "Ÿ").
    EXPECT_EQ(letterOf("ÿes"), "Ÿ");
    EXPECT_EQ(letterOf("ωmega"), "Ω");
    EXPECT_EQ(letterOf("ะ"), "ะ");
    // A name starting outside the BMP gives one UTF-16 unit, without failing.
    EXPECT_EQ(DirectoryIndexCharOfName(QString::fromUtf8("😀 smile")), u'\xD83D');
}

TEST(BrowseIndexTest, NumberSignThaiLatinThenAccentedAndEmptyTitlesLeftOut) {
    BrowseSubView view;
    view.generateBrowseBookGroup({name("Émile", 1), name("abc", 2), name("เกม", 3), name("1984", 4),
                                  name("", 5), name(std::nullopt, 6), name("กขค", 7),
                                  name("Anna", 8), name("(x", 9), name("zeta", 10)});
    EXPECT_EQ(view.groupBrowseKeyArray(), (std::vector<std::string>{"#", "ก", "A", "Z", "É"}));
    const auto& groups = view.groupBrowseBookArray();
    ASSERT_EQ(groups.size(), 5u);
    // Names under one letter keep the order they were given in.
    EXPECT_EQ(titles(groups[0]->groupInfos()), (std::vector<std::string>{"1984", "(x"}));
    EXPECT_EQ(titles(groups[1]->groupInfos()), (std::vector<std::string>{"เกม", "กขค"}));
    EXPECT_EQ(titles(groups[2]->groupInfos()), (std::vector<std::string>{"abc", "Anna"}));
    EXPECT_EQ(groups[2]->groupNameSortingToken(), "9A");
    EXPECT_EQ(groups[1]->groupNameSortingToken(), "0ก");

    // The index as a tree: letters on top, which cannot be selected; names under them.
    const plat::Value root;
    ASSERT_EQ(view.numberOfChildrenOfItem(root), 5);
    const plat::Value thai = view.childOfItem(1, root);
    EXPECT_TRUE(view.isGroupItem(thai));
    EXPECT_TRUE(view.isItemExpandable(thai));
    EXPECT_FALSE(view.shouldSelectItem(thai));
    ASSERT_EQ(view.numberOfChildrenOfItem(thai), 2);
    const plat::Value game = view.childOfItem(0, thai);
    EXPECT_EQ(game.as<VnShopGroupInfo>()->Title_, "เกม");
    EXPECT_TRUE(view.shouldSelectItem(game));
    EXPECT_FALSE(view.isItemExpandable(game));
    EXPECT_EQ(view.numberOfChildrenOfItem(game), 0);
    EXPECT_TRUE(view.childOfItem(9, root).isNil());

    // A second result replaces the index; nothing at all leaves it empty.
    view.generateBrowseBookGroup({name("Only")});
    EXPECT_EQ(view.groupBrowseKeyArray(), std::vector<std::string>{"O"});
    view.generateBrowseBookGroup({});
    EXPECT_EQ(view.numberOfChildrenOfItem(root), 0);
}

TEST(BrowseIndexTest, GroupNamesSplitAndOrderOfNestedGroups) {
    Va3GroupBrowseBook group;
    EXPECT_EQ(group.groupNameSortingToken(), "");
    group.setGroupName("#");
    EXPECT_EQ(group.groupNameSortingToken(), "0#");
    group.setGroupName("É");
    EXPECT_EQ(group.groupNameSortingToken(), "9É");

    // Nested groups by OrderWidget, 0 last; what is no group is left out.
    auto parent = std::make_shared<VnShopGroupInfo>();
    parent->Subwidgets_ = plat::Array::make({plat::Value(name("zero", 0)), plat::Value("text"),
                                             plat::Value(name("two", 2)), plat::Value(7),
                                             plat::Value(name("one", 1))});
    EXPECT_EQ(titles(BrowseSubView::orderedSubwidgets(parent)),
              (std::vector<std::string>{"one", "two", "zero"}));
    EXPECT_TRUE(BrowseSubView::orderedSubwidgets(std::make_shared<VnShopGroupInfo>()).empty());
    EXPECT_TRUE(BrowseSubView::orderedSubwidgets(nullptr).empty());

    // The index pane: 200 more than proposed at the least, 300 at the most.
    BrowseSubView view;
    EXPECT_EQ(view.splitView_constrainMinCoordinate(0), 200.0);
    EXPECT_EQ(view.splitView_constrainMinCoordinate(15), 215.0);
    EXPECT_EQ(view.splitView_constrainMaxCoordinate(900), 300.0);
    EXPECT_EQ(BrowseSubView::newShopGroupInfo("t", 3)->Type_, 3);
}

}  // namespace
