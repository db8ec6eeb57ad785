// Writes the storage without pause until it is killed: each round replaces a JSON table with 20
// records of one version, replaces the rows of a catalogue store table with 10 records of that
// version (one transaction), refreshes a library table of 400 catalogue records read from a reply
// to that version as a list refresh stores them, each written as its row (one save of about
// 1.5 MB, which the store's log takes and a checkpoint of its own copies into the store while the
// next rounds run), and adds 5 bookmarks of that version to a bookmark store (one save).
//   storage_kill_child <folder> <first version>
#include <cstdlib>
#include <string>

#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"
#include "vnlib/domain/storage/VnBookstoreUserBookmarkContext.h"
#include "vnlib/domain/storage/VnJsonDBDataTable.h"
#include "vnlib/domain/storage/VnLocalArchive.h"
#include "vnlib/domain/storage/VnStoreModels.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/service/v2/VnRemoteCallSupport.h"

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const std::filesystem::path folder = argv[1];
    int32_t version = std::atoi(argv[2]);

    auto archive = std::make_shared<VnLocalArchive>(folder);
    auto table = archive->tableWithName("Versions", VnUserMagazineIssueInfo::classObject());
    auto cache = plat::ObjectStoreContext::open(folder / "GlobalCache.sqlite",
                                                VarnelClientGlobalCacheModel());
    auto catalogue = std::make_shared<VnJsonDBDataTable>(
        std::make_shared<VnCoreDataContext>("JSONMagazineIssueInfoShop", cache),
        VnMagazineIssueInfo::classObject(), VnJsonMagazineIssueInfoData::classObject());
    auto library = std::make_shared<VnJsonDBDataTable>(
        std::make_shared<VnCoreDataContext>("JSONMagazineIssueInfoLibrary", cache),
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

        // The records of a batch reply read keeping its text, as a refresh makes them.
        std::string reply = "{\"d\":[";
        for (int i = 0; i < 400; ++i) {
            reply += (i ? "," : "") + std::string("{\"Code\":\"LIB") + std::to_string(i) +
                     "\",\"IssueName\":\"v" + std::to_string(version) + "\",\"Publisher\":\"" +
                     std::string(3000, static_cast<char>('a' + (version + i) % 26)) + "\"}";
        }
        reply += "]}";
        const plat::Value decoded =
            objectFromJSONDataKeepingText(plat::Bytes(reply.begin(), reply.end()));
        std::vector<Ref<VnInfo>> refreshed;
        decoded.dictionary()->objectForKey("d").array()->enumerate([&](const plat::Value& item) {
            refreshed.push_back(
                VnReturnValueOfClass(&VnMagazineIssueInfo::classObject(), item.dictionary())
                    .as<VnInfo>());
            return true;
        });
        library->updateWithInfos(refreshed);

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
