#include "vnlib/domain/storage/VnBookstoreUserBookmarkContext.h"

PLAT_DEFINE_CLASS(VnBookstoreUserBookmarkContext, VndObject, PLAT_NO_METHODS)

VnBookstoreUserBookmarkContext::VnBookstoreUserBookmarkContext(WeakRef<plat::Object> userContext,
                                                               plat::Predicate filterPredicate)
    : userContext_(std::move(userContext)), filterPredicate_(std::move(filterPredicate)) {}

VnBookstoreUserBookmarkContext::VnBookstoreUserBookmarkContext(WeakRef<plat::Object> userContext,
                                                               bool isEpub)
    : VnBookstoreUserBookmarkContext(
          std::move(userContext),
          isEpub ? plat::Predicate::greaterThan("epubTotalPages", plat::Value(int32_t{0}))
                 : plat::Predicate::equal("epubTotalPages", plat::Value(int32_t{0}))) {}

plat::Predicate VnBookstoreUserBookmarkContext::applyPredicateFilter(
    const plat::Predicate& predicate) const {
    return plat::Predicate::conjunction(predicate, filterPredicate_);
}

Ref<VnDataContext> VnBookstoreUserBookmarkContext::dataContext() const {
    auto context =
        plat::send(userContext_, VnBookmarkUserContextMessages::kUserBookmarkDataContext);
    PLAT_ASSERT(context, "userBookmarkDataContext");
    return context;
}

std::vector<Ref<VnUserBookmarkData>> VnBookstoreUserBookmarkContext::bookmarks(
    const plat::Predicate& predicate) {
    std::vector<Ref<VnUserBookmarkData>> out;
    for (const auto& row : dataContext()->infosWithPredicate(predicate)) {
        if (auto bookmark = std::dynamic_pointer_cast<VnUserBookmarkData>(row))
            out.push_back(std::move(bookmark));
    }
    return out;
}

std::vector<Ref<VnUserBookmarkData>> VnBookstoreUserBookmarkContext::bookmarksForIssueInfo(
    const Ref<VnInfo>& issueInfo) {
    PLAT_PARAMETER_ASSERT(issueInfo);
    return bookmarks(applyPredicateFilter(plat::Predicate::equal(
        "issueCode", issueInfo->code() ? plat::Value(*issueInfo->code()) : plat::Value())));
}

std::vector<Ref<VnUserBookmarkData>> VnBookstoreUserBookmarkContext::allBookmarks() {
    return bookmarks(plat::Predicate::truePredicate());
}

Ref<VnUserBookmarkData> VnBookstoreUserBookmarkContext::bookmarkWithIssueInfo(
    const Ref<VnInfo>& issueInfo) {
    PLAT_PARAMETER_ASSERT(issueInfo);
    auto bookmark = std::dynamic_pointer_cast<VnUserBookmarkData>(dataContext()->newInfo());
    PLAT_PARAMETER_ASSERT(bookmark);
    bookmark->setIssueCode(issueInfo->code());
    return bookmark;
}

void VnBookstoreUserBookmarkContext::addBookmark(const Ref<VnUserBookmarkData>& bookmark) {
    dataContext()->addInfo(bookmark);
}

void VnBookstoreUserBookmarkContext::removeBookmark(const Ref<VnUserBookmarkData>& bookmark) {
    dataContext()->removeInfo(bookmark);
}

void VnBookstoreUserBookmarkContext::persistBookmarks() {
    dataContext()->save();
}

Ref<VnUserBookmarkData> VnBookstoreUserBookmarkContext::bookmarkForIssueInfo(
    const Ref<VnInfo>& issueInfo, const std::string& pageName) {
    PLAT_PARAMETER_ASSERT(issueInfo);
    const auto found = bookmarks(applyPredicateFilter(plat::Predicate::conjunction(
        plat::Predicate::equal("issueCode",
                               issueInfo->code() ? plat::Value(*issueInfo->code()) : plat::Value()),
        plat::Predicate::equal("pageName", plat::Value(pageName)))));
    return found.empty() ? nullptr : found.front();
}
