// The user context's lists, local library, samples and reading preferences.
#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "platform/runloop/NotificationCenter.h"
#include "vnlib/domain/VnItemCode.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/domain/context/VnOtherMembersLibraries.h"
#include "vnlib/domain/lists/VnMagazineDomain.h"
#include "vnlib/domain/lists/VnMagazineIssueDomain.h"
#include "vnlib/domain/storage/VnBookStoreLocalStorage.h"
#include "vnlib/domain/storage/VnDiscardedFiles.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnPageInfo.h"
#include "vnlib/info/catalogue/VnSubscriptionOptionInfo.h"
#include "vnlib/info/store/VnAuthorInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"
#include "vnlib/service/v3/VnStoreRemoteSession.h"

namespace {

template <class Domain, class Make>
Ref<Domain> kept(std::map<std::string, Ref<Domain>>& map, const std::string& key, Make make) {
    auto& slot = map[key];
    if (!slot)
        slot = make();
    return slot;
}

// Whether a member of the home other than the storage's keeps the item in a library like those
// of the domains (its tables lie in each member's folder under the same names).
bool otherMembersHold(const VnBookStoreUserStorage& storage,
                      std::initializer_list<Ref<VnMagazineIssueDomain>> libraries,
                      const Ref<VnMagazineIssueInfo>& info) {
    if (!info->code())
        return false;
    std::vector<std::string> tables;
    for (const auto& library : libraries) {
        tables.push_back(storage.userArchive()
                             ->tableFilePathWithTableName(library->persistentStorageTableName())
                             .filename()
                             .string());
    }
    return VnOtherMembersLibraries(storage.userPath(), std::move(tables)).holdItem(*info->code());
}

}  // namespace

// ---- Lists --------------------------------------------------------------------------------------

VnMetaInfosRequestFactory& VnBookStoreUserContext::requestFactoryForIssueKind(
    const std::string& issueKind) const {
    if (issueKind == VnMagazineIssueKind_Library) {
        return *serviceSession();
    }
    return *storeRemoteSession_;
}

Ref<VnMagazineIssueDomain> VnBookStoreUserContext::magazineIssueDomainWithMagazine(
    const Ref<VnMagazineInfo>& magazine) {
    PLAT_PARAMETER_ASSERT(magazine);
    const auto code = magazine->code().value_or("");
    return kept(magazineIssueDomains_, code, [&] {
        return std::make_shared<VnMagazineIssueDomain>(self<VnBookStoreUserContext>(),
                                                       VnMagazineIssueKind_Shops, code);
    });
}

Ref<VnMagazineDomain> VnBookStoreUserContext::magazineDomainWithCategory(
    const std::string& categoryCode) {
    return kept(magazineDomains_, categoryCode, [&] {
        auto bookstore = this->bookstore();
        auto domain = std::make_shared<VnMagazineDomain>(
            self<VnBookStoreUserContext>(), VnMagazineInfo::classObject(),
            bookstore->serviceSession()->newMetaMagazineInfosRequestWithCategoryCode(categoryCode,
                                                                                     std::nullopt),
            bookstore->localStorage()->storeLocalArchive()->subarchiveWithId("Magazines"));
        std::string key = categoryCode;
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (key.empty())
            key = "_ALL";
        domain->setDataTableName(domain->dataTableName() + "." + key);
        domain->setCategory(key);
        return domain;
    });
}

Ref<VnDomain> VnBookStoreUserContext::subscriptionOptionDomainWithMagazine(
    const Ref<VnMagazineInfo>& magazine) {
    PLAT_PARAMETER_ASSERT(magazine);
    return kept(subscriptionOptionDomains_, magazine->code().value_or(""), [&] {
        return std::make_shared<VnDomain>(
            self<VnBookStoreUserContext>(), VnSubscriptionOptionInfo::classObject(),
            storeRemoteSession_->newSubscriptionOptionsRequestWithMagazineCode(magazine->code()));
    });
}

Ref<VnMagazineIssueDomain> VnBookStoreUserContext::bookIssueDomainWithCategory(
    const std::string& categoryCode) {
    return kept(bookIssueDomains_, categoryCode, [&] {
        return VnMagazineIssueDomain::bookList(self<VnBookStoreUserContext>(), categoryCode);
    });
}

Ref<VnMagazineIssueDomain> VnBookStoreUserContext::bookTopPaidDomainForCategory(
    const std::string& categoryCode) {
    return kept(bookTopPaidDomains_, categoryCode, [&] {
        return VnMagazineIssueDomain::bookList(self<VnBookStoreUserContext>(), categoryCode,
                                               "#TopPaid");
    });
}

Ref<VnMagazineIssueDomain> VnBookStoreUserContext::bookTopFreeDomainForCategory(
    const std::string& categoryCode) {
    return kept(bookTopFreeDomains_, categoryCode, [&] {
        return VnMagazineIssueDomain::bookList(self<VnBookStoreUserContext>(), categoryCode,
                                               "#TopFree");
    });
}

Ref<VnMagazineIssueDomain> VnBookStoreUserContext::bookDomainWithSearchKeyword(
    const std::string& keyword) {
    return VnMagazineIssueDomain::bookList(self<VnBookStoreUserContext>(), "", keyword);
}

Ref<VnMagazineIssueDomain> VnBookStoreUserContext::bookDomainWithAuthor(
    const Ref<VnAuthorInfo>& author) {
    return VnMagazineIssueDomain::bookList(
        self<VnBookStoreUserContext>(), "_All",
        "author:" + (author ? author->fullName().value_or("") : std::string()));
}

Ref<VnMagazineDomain> VnBookStoreUserContext::magazineDomainWithSearchKeyword(
    const std::string& keyword) {
    auto domain = std::make_shared<VnMagazineDomain>(
        self<VnBookStoreUserContext>(), VnMagazineInfo::classObject(),
        storeRemoteSession_->newMetaMagazineInfosRequestWithCategoryCode(
            std::string(VnMagazineCategory_All), keyword, 0, 24));
    domain->setDataTableName(domain->dataTableName() + ".Search." + VnSafeTableText(keyword));
    return domain;
}

Ref<VnStoreDomain> VnBookStoreUserContext::shopGroupInfoDomainWithGroupCode(
    const std::string& groupCode) {
    auto domain = std::make_shared<VnStoreDomain>(
        self<VnBookStoreUserContext>(), VnShopGroupInfo::classObject(),
        storeRemoteSession_->requestForWidgetInfoWithCode(groupCode));
    domain->setDataTableName(domain->dataTableName() + "_Id_" + groupCode);
    return domain;
}

Ref<VnStoreDomain> VnBookStoreUserContext::shopSubGroupInfoDomainWithGroupCode(
    const std::string& groupCode, int32_t startIndex, int32_t length) {
    auto domain = std::make_shared<VnStoreDomain>(
        self<VnBookStoreUserContext>(), VnShopGroupInfo::classObject(),
        storeRemoteSession_->requestForSubWidgetInfoWithCode(groupCode, startIndex, length));
    domain->setDataTableName(domain->dataTableName() + "_Id_" + groupCode);
    return domain;
}

Ref<VnMagazineIssueDomain> VnBookStoreUserContext::domainForIssueInfo(
    const Ref<VnMagazineIssueInfo>& info) const {
    return info && info->bookKind() == 1 ? bookLibraryDomain_ : libraryDomain_;
}

bool VnBookStoreUserContext::hasIssueInLibrary(const Ref<VnMagazineIssueInfo>& info) const {
    return libraryDomain_->containsInfo(info) || bookLibraryDomain_->containsInfo(info);
}

// ---- The local library --------------------------------------------------------------------------

void VnBookStoreUserContext::updateUserItemForIssueInfo(const Ref<VnMagazineIssueInfo>& info) {
    PLAT_PARAMETER_ASSERT(info);
    if (info->isSample_) {
        saveBookSample(info);
        return;
    }
    auto domain = domainForIssueInfo(info);
    domain->notifyUserItemsAddOrUpdate({info});
    domain->flushUserInfoItemsWritingCache();
}

void VnBookStoreUserContext::removeBookFromLocalLibrary(const Ref<VnMagazineIssueInfo>& info) {
    PLAT_PARAMETER_ASSERT(info);
    auto archive = bookArchiveWithIssueInfo(info);
    // What an opening of the item that began before writes later has no folder to go to; its
    // loading stops here.
    archive->fileGeneration()->advance();
    // The item's folder is shared by every member of the home: while another member's local
    // library holds the item, its files, its tables and its page list stay as they are.
    if (!otherMembersHold(*userStorage_, {libraryDomain_, bookLibraryDomain_}, info)) {
        // The files leave the item's folder now, as a new download of the item expects; the
        // disk's work of deleting them (seconds for a book read through) is done off the main
        // thread once the batch ends.
        auto discarded = userStorage_->discardedFiles()->batch();
        const auto discard = [&discarded](const std::filesystem::path& path) {
            discarded.take(path);
        };
        for (const auto& asset : archive->allCacheAssets()) {
            std::string name = asset->filePath().filename().string();
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (name.rfind("cover", 0) != 0)
                asset->clearData(discard);
        }
        discarded.take(archive->archivePath() / "EPUB");  // may not exist
        archive->clearCacheAssetInMemoryMap();
        // The page list and the tables went with the files: the next opening asks for the list
        // and keeps it again, as a first loan does.
        archive->forgetTables();
        info->pageArray_.reset();
    }
    info->hiddenFromLibrary_ = true;
    info->finished_ = false;
    removeBookSample(info);
    if (!info->isFreeContent_) {
        auto domain = domainForIssueInfo(info);
        domain->notifyUserInfoItemsRemove(domain->convertToUserInfo({info}));
        domain->flushUserInfoItemsWritingCache();
    }
    userStorage_->removeObjectForKey(lastViewedPageIndexKeyNameWithIssueInfo(info));
}

void VnBookStoreUserContext::restoreBookToLocalLibrary(const Ref<VnMagazineIssueInfo>& info) {
    PLAT_PARAMETER_ASSERT(info);
    info->hiddenFromLibrary_ = false;
    updateUserItemForIssueInfo(info);
}

void VnBookStoreUserContext::markFinished(const Ref<VnMagazineIssueInfo>& info) {
    PLAT_PARAMETER_ASSERT(info);
    info->finished_ = true;
    updateUserItemForIssueInfo(info);
}

void VnBookStoreUserContext::markUnfinished(const Ref<VnMagazineIssueInfo>& info) {
    PLAT_PARAMETER_ASSERT(info);
    info->finished_ = false;
    updateUserItemForIssueInfo(info);
}

std::string VnBookStoreUserContext::lastViewedPageIndexKeyNameWithIssueInfo(
    const Ref<VnInfo>& info) {
    return (info ? info->code().value_or("(null)") : std::string("(null)")) +
           "/LastViewedPageIndex";
}

Ref<VnRequestContext> VnBookStoreUserContext::requestForBookSample(
    const Ref<VnMagazineIssueInfo>& info) {
    PLAT_PARAMETER_ASSERT(info);
    info->isSample_ = true;
    sampleBooksTable_->addInfo(info);
    sampleBooksTable_->flushStorageWriting();
    return VnRequestContext::requestWithResult(
        VnRequestResult::resultWithReturnValue(plat::Value::fromObject(info), nullptr));
}

std::vector<Ref<VnMagazineIssueInfo>> VnBookStoreUserContext::bookSamples() {
    std::vector<Ref<VnMagazineIssueInfo>> samples;
    for (const auto& item : sampleBooksTable_->takeItems()) {
        if (auto record = std::dynamic_pointer_cast<VnMagazineIssueInfo>(item)) {
            record->isSample_ = true;
            samples.push_back(std::move(record));
        }
    }
    return samples;
}

void VnBookStoreUserContext::saveBookSample(const Ref<VnMagazineIssueInfo>& info) {
    PLAT_PARAMETER_ASSERT(info);
    sampleBooksTable_->updateInfo(info);
    auto pages = pageDataTableForIssueInfo(info);
    pages->replaceWithNewItems(VnInfoListFromArray(info->pageArray_));
    pages->flushStorageWriting();
    sampleBooksTable_->flushStorageWriting();
}

void VnBookStoreUserContext::removeBookSample(const Ref<VnMagazineIssueInfo>& info) {
    PLAT_PARAMETER_ASSERT(info);
    if (info->code())
        sampleBooksTable_->removeInfoByCode(*info->code());
    info->isSample_ = false;
    sampleBooksTable_->flushStorageWriting();
}

// ---- A sample beside a loan of the same item ----------------------------------------------------

void VnBookStoreUserContext::deleteBookSample(const Ref<VnMagazineIssueInfo>& sample) {
    PLAT_PARAMETER_ASSERT(sample);
    if (!sample->isSample_ || !hasIssueInLibrary(sample)) {
        removeBookFromLocalLibrary(sample);
        return;
    }
    // The folder is the loan's as much as the sample's: nothing in it is taken away and nothing
    // that reads it is stopped, but the sample's own page table.
    const auto samplePages = pageDataTableForIssueInfo(sample);
    removeBookSample(sample);
    sample->pageArray_.reset();
    bookArchiveWithIssueInfo(sample)->removeTable(samplePages);
}

void VnBookStoreUserContext::endBookSampleOfLoan(const std::string& code) {
    const auto kept =
        std::dynamic_pointer_cast<VnMagazineIssueInfo>(sampleBooksTable_->infoForCode(code));
    if (!kept)
        return;
    sampleBooksTable_->removeInfoByCode(code);
    sampleBooksTable_->flushStorageWriting();
    kept->isSample_ = false;
    kept->pageArray_.reset();
}

void VnBookStoreUserContext::endBookSampleOfLoan(const Ref<VnMagazineIssueInfo>& taken) {
    PLAT_PARAMETER_ASSERT(taken);
    if (taken->code())
        endBookSampleOfLoan(*taken->code());
    // A sample's record of its own (the sample kept is usually this very one).
    if (taken->isSample_) {
        taken->isSample_ = false;
        taken->pageArray_.reset();
    }
}

void VnBookStoreUserContext::notifyLibraryDidUpdate() {
    plat::NotificationCenter::defaultCenter().postNotificationName(
        VnUserLibraryDidUpdateNotification, self());
}

// ---- Preferences --------------------------------------------------------------------------------

void VnBookStoreUserContext::persistUserIsViewSinglePage(bool singlePage) {
    userIsSinglePage_ = singlePage;
    userStorage_->setObject(plat::Value(singlePage ? "YES" : "NO"), "UserIsSinglePage");
}

void VnBookStoreUserContext::persistUserIsViewLockRotate(bool lockRotate) {
    userIsLockRotate_ = lockRotate;
    userStorage_->setObject(plat::Value(lockRotate ? "YES" : "NO"), "UserIsLockRotate");
}

void VnBookStoreUserContext::persistUserDisplayMode(int32_t mode) {
    userDisplayMode_ = mode;
    userStorage_->setObject(plat::Value(plat::Number::fromInt64(mode, 'i')), "UserDisplayMode");
}

void VnBookStoreUserContext::persistUserMagazineFilterMode(int32_t mode) {
    userIsMagazineDisplayFilter_ = mode;
    userStorage_->setObject(plat::Value(plat::Number::fromInt64(mode, 'i')),
                            "UserIsMagazineDisplayModeFillter");
}

void VnBookStoreUserContext::setIsShareReviewFacebook(bool share) {
    userStorage_->setObject(plat::Value(share ? "YES" : "NO"), "ShareReviewFacebook");
}

// ---- Archives -----------------------------------------------------------------------------------

Ref<VnLocalArchive> VnBookStoreUserContext::bookArchiveWithIssueInfo(
    const Ref<VnInfo>& info) const {
    return userStorage_->booksArchive()->subarchiveWithMagazineIssue(info);
}

Ref<VnLocalDataTable> VnBookStoreUserContext::pageDataTableForIssueInfo(
    const Ref<VnMagazineIssueInfo>& info) const {
    const bool sample = info && info->isSample_;
    return bookArchiveWithIssueInfo(info)->tableWithName(
        sample ? "VnPageInfo_Sample" : "VnPageInfo", VnPageInfo::classObject());
}
