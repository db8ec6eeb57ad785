#include "RecordTestClasses.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnTestChild, VnInfo,
                  [](auto& c) { c.property("count", "Ti,N,Vcount_", &VnTestChild::count_); })
PLAT_DEFINE_CLASS(VnTestRecord, VnInfoWithHashString, [](auto& c) {
    c.property("name", "T@\"NSString\",C,N,Vname_", &VnTestRecord::name_)
        .property("pageCount", "Ti,N,VpageCount_", &VnTestRecord::pageCount_)
        .property("isFree", "Tc,N,VisFree_", &VnTestRecord::isFree_)
        .property("price", "Td,N,Vprice_", &VnTestRecord::price_)
        .property("fileSize", "Tq,N,VfileSize_", &VnTestRecord::fileSize_)
        .property("published", "T@\"NSDate\",&,N,Vpublished_", &VnTestRecord::published_)
        .property("children", "T@\"NSArray\",&,N,Vchildren_", &VnTestRecord::children_)
        .property("numbers", "T@\"NSArray\",&,N,Vnumbers_", &VnTestRecord::numbers_)
        .property("tags", "T@\"NSArray\",&,N,Vtags_", &VnTestRecord::tags_)
        .property("options", "T@\"NSDictionary\",&,N,Voptions_", &VnTestRecord::options_)
        .property("main", "T@\"VnTestChild\",&,N,Vmain_", &VnTestRecord::main_)
        .property("Id", "T@\"NSString\",C,N,VId_", &VnTestRecord::Id_)
        .property("eBook", "T@\"NSString\",C,N,VeBook_", &VnTestRecord::eBook_)
        .property("secret", "T@\"NSString\",C,N,Vsecret_", &VnTestRecord::secret_);
})
