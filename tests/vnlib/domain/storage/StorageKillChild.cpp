// Writes the storage without pause until it is killed: each round replaces a JSON table with 20
// records of one version, replaces the rows of a catalogue store table with 10 records of that
// version (one transaction), and adds 5 bookmarks of that version to a bookmark store (one save).
//   storage_kill_child <folder> <first version>
#include <cstdlib>
#include <string>

#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"
#include "vnlib/domain/storage/VnBookstoreUserBookmarkContext.h"
#include "vnlib/domain/storage/VnJsonDBDataTable.h"
#include "vnlib/domain/storage/VnLocalArchive.h"
#include "vnlib/domain/storage/VnStoreModels.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const std::filesystem::path folder = argv[1];
    int32_t version = std::atoi(argv[2]);

    auto archive = std::make_shared<VnLocalArchive>(folder);
    auto table = archive->tableWithName("Versions", VnUserMagazineIssueInfo::classObject());
    auto catalogue = std::make_shared<VnJsonDBDataTable>(
        std::make_shared<VnCoreDataContext>(
            "JSONMagazineIssueInfoShop",
            plat::ObjectStoreContext::open(folder / "GlobalCache.sqlite",
                                           VarnelClientGlobalCacheModel())),
        VnMagazineIssueInfo::classObject(), VnJsonMagazineIssueInfoData::classObject());
    auto bookmarks = std::make_shared<VnCoreDataContext>(
        "UserBookmark",
        plat::ObjectStoreContext::open(folder / "UserData.sqlite", VarnelClientModel()));

    for (;; ++version) {
        std::vector<Ref<VnInfo>> items;
        for (int i = 0; i < 20; ++i) {
            auto item = VnUserMagazineIssueInfo::itemWithMagazineIssueCode("c" + std::to_string(i));
            item->setSortIndex(version);
            items.push_back(item);
        }
        table->replaceWithNewItems(items);
        table->flushStorageWriting();

        std::vector<Ref<VnInfo>> issues;
        for (int i = 0; i < 10; ++i) {
            auto issue = std::make_shared<VnMagazineIssueInfo>();
            issue->setCode("ISS" + std::to_string(i));
            issue->setIssueName("v" + std::to_string(version));
            issues.push_back(issue);
        }
        catalogue->replaceWithNewItems(issues);

        bookmarks->beginUpdate();
        for (int i = 0; i < 5; ++i) {
            auto row = std::static_pointer_cast<VnUserBookmarkData>(bookmarks->newInfo());
            row->setBookmarkId(version);
            row->setPageName("page_" + std::to_string(i));
            bookmarks->addInfo(row);
        }
        bookmarks->endUpdate();
    }
}
