#include "vnlib/domain/storage/VnStoreModels.h"

#include "vnlib/domain/storage/VnJsonData.h"

namespace {

plat::EntityDescription jsonEntity(const char* name) {
    return {
        name,
        {{"code", plat::AttributeType::String, true}, {"jsonString", plat::AttributeType::String}},
        [] {
            return std::static_pointer_cast<plat::ManagedObject>(
                std::make_shared<VnJsonMagazineIssueInfoData>());
        }};
}

}  // namespace

const plat::ObjectModel& VarnelClientGlobalCacheModel() {
    static const plat::ObjectModel model{
        "VarnelClientGlobalCache",
        1,
        {jsonEntity("JSONMagazineIssueInfoShop"), jsonEntity("JSONMagazineIssueInfoLibrary")}};
    return model;
}

const plat::ObjectModel& VarnelClientModel() {
    using plat::AttributeType;
    static const plat::ObjectModel model{"VarnelClient",
                                         1,
                                         {{"UserBookmark",
                                           {{"title", AttributeType::String},
                                            {"issueCode", AttributeType::String, true},
                                            {"pageName", AttributeType::String},
                                            {"createDate", AttributeType::Date},
                                            {"epubSection", AttributeType::Integer32},
                                            {"epubSectionPageIndex", AttributeType::Integer32},
                                            {"epubSectionPageCount", AttributeType::Integer32},
                                            {"epubTotalPages", AttributeType::Integer32},
                                            {"pageIndex", AttributeType::Integer32},
                                            {"bookmarkId", AttributeType::Integer32}},
                                           [] {
                                               return std::static_pointer_cast<plat::ManagedObject>(
                                                   std::make_shared<VnUserBookmarkData>());
                                           }}}};
    return model;
}
