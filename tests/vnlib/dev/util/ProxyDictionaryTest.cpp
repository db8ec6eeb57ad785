#include <gtest/gtest.h>

#include "platform/core/Property.h"
#include "vnlib/dev/util/VndObject.h"
#include "vnlib/dev/util/VndObjectProxyDictionary.h"

using plat::Value;

namespace {

class Plain : public VndObject {
    PLAT_CLASS(Plain)
  public:
    std::string title_ = "t";
    std::optional<plat::Date> when_;
    Ref<Plain> inner_;
    Ref<plat::Array> list_;
};

}  // namespace

PLAT_DEFINE_CLASS(Plain, VndObject, [](auto& c) {
    c.property("title", &Plain::title_)
        .property("when", "T@\"NSDate\",&,N", &Plain::when_)
        .property("inner", &Plain::inner_)
        .property("list", &Plain::list_);
})

TEST(VndObjectProxyDictionary, ShowsATargetWithoutHooksByItsPropertyNames) {
    auto target = std::make_shared<Plain>();
    target->when_ = plat::Date{1705314030};
    target->inner_ = std::make_shared<Plain>();
    target->inner_->title_ = "nested";
    target->list_ = plat::Array::make({Value("a"), Value(int32_t{1})});
    auto formatter = std::make_shared<plat::DateFormatter>("yyyy/MM/dd", plat::TimeZone::utc());
    auto view = std::make_shared<VndObjectProxyDictionary>(target, formatter);
    view->setPersistentDictionary(
        plat::makeDictionary({{Value("title"), Value("old")}, {Value("extra"), Value("e")}}));
    EXPECT_EQ(view->count(), 5u);
    EXPECT_EQ((*view)["title"], Value("t"));  // the property wins over the stored value
    EXPECT_EQ((*view)["when"], Value("2024/01/15"));
    EXPECT_EQ((*view)["extra"], Value("e"));
    EXPECT_TRUE((*view)["missing"].isNull());
    auto inner = (*view)["inner"].dictionary();
    ASSERT_TRUE(inner);
    EXPECT_EQ((*inner)["title"], Value("nested"));
    EXPECT_TRUE((*inner)["inner"].isNull());
    EXPECT_EQ((*view)["list"].array()->objectAtIndex(0), Value("a"));
    // Values are read at each lookup.
    target->title_ = "changed";
    EXPECT_EQ((*view)["title"], Value("changed"));
    // A view whose target is gone answers null instead of failing.
    auto orphan = std::make_shared<VndObjectProxyDictionary>(std::make_shared<Plain>(), formatter);
    EXPECT_TRUE((*orphan)["title"].isNull());
}
