#include "app/store/browse/Va3GroupBrowseBook.h"

#include "vnlib/info/VnInfoBase.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

PLAT_DEFINE_CLASS(Va3GroupBrowseBook, plat::Object, PLAT_NO_METHODS)

void Va3GroupBrowseBook::setGroupName(const std::string& name) {
    if (name == groupName_)
        return;
    groupName_ = name;
    groupNameSortingToken_ = nameSortingToken(name);
}
