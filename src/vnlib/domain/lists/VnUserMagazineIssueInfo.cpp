#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"

#include <algorithm>
#include <array>
#include <typeinfo>

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnUserMagazineIssueInfo, VnInfo, [](auto& c) {
    c.property("hiddenFromLibrary", "Tc,N,VhiddenFromLibrary_",
               &VnUserMagazineIssueInfo::hiddenFromLibrary,
               &VnUserMagazineIssueInfo::setHiddenFromLibrary);
    c.property("sortIndex", "Ti,N,VsortIndex_", &VnUserMagazineIssueInfo::sortIndex,
               &VnUserMagazineIssueInfo::setSortIndex);
    c.property("finished", "Tc,N,Vfinished_", &VnUserMagazineIssueInfo::finished,
               &VnUserMagazineIssueInfo::setFinished);
    c.property("readed", "Tc,N,Vreaded_", &VnUserMagazineIssueInfo::readed,
               &VnUserMagazineIssueInfo::setReaded);
})

Ref<VnUserMagazineIssueInfo> VnUserMagazineIssueInfo::itemWithMagazineIssueCode(
    const std::string& code) {
    auto item = std::make_shared<VnUserMagazineIssueInfo>();
    item->setCode(code);
    return item;
}

namespace {

// The keys of the row, in the order the dictionary view writes them.
constexpr std::array<std::string_view, 5> kRowKeys = {"HiddenFromLibrary", "SortIndex", "Finished",
                                                      "Readed", "Code"};

// Whether the dictionary holds no key but those of the row: then the view writes nothing else.
bool holdsOnlyRowKeys(const plat::Dictionary& loaded) {
    if (loaded.count() > kRowKeys.size())
        return false;
    bool only = true;
    loaded.enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value&) {
        const std::string* name = key.string();
        only = name && std::find(kRowKeys.begin(), kRowKeys.end(), *name) != kRowKeys.end();
        return only;
    });
    return only;
}

}  // namespace

bool VnUserMagazineIssueInfo::appendRowText(std::string& out) const {
    if (typeid(*this) != typeid(VnUserMagazineIssueInfo) || !code())
        return false;
    if (const auto& loaded = persistentDictionary(); loaded && !holdsOnlyRowKeys(*loaded))
        return false;
    const size_t start = out.size();
    out += "{\"HiddenFromLibrary\":";
    out += hiddenFromLibrary_ ? '1' : '0';
    out += ",\"SortIndex\":";
    out += std::to_string(sortIndex_);
    out += ",\"Finished\":";
    out += finished_ ? '1' : '0';
    out += ",\"Readed\":";
    out += readed_ ? '1' : '0';
    out += ",\"Code\":";
    if (!VnAppendJsonString(out, *code())) {
        out.resize(start);
        return false;
    }
    out += '}';
    return true;
}
