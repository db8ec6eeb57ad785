#pragma once
// VnBookstoreUserBookmarkContext: the bookmarks of one user, through the user context's data
// context over "UserBookmark" (asked of the user context as "userBookmarkDataContext"). Every
// query adds the context's filter: the page-image bookmarks carry "epubTotalPages == 0", the
// reflowable-book ones "epubTotalPages > 0".
#include <string>
#include <vector>

#include "platform/core/Message.h"
#include "vnlib/domain/storage/VnDataContext.h"
#include "vnlib/domain/storage/VnJsonData.h"

// What the bookmark context asks of its user context: the data context bookmarks are kept in.
struct VnBookmarkUserContextMessages {
    static constexpr plat::Message<Ref<VnDataContext>()> kUserBookmarkDataContext{
        "userBookmarkDataContext"};
};

class VnBookstoreUserBookmarkContext : public VndObject {
    PLAT_CLASS(VnBookstoreUserBookmarkContext)
  public:
    // The user context is not owned.
    VnBookstoreUserBookmarkContext(WeakRef<plat::Object> userContext,
                                   plat::Predicate filterPredicate);
    VnBookstoreUserBookmarkContext(WeakRef<plat::Object> userContext, bool isEpub);

    const plat::Predicate& filterPredicate() const { return filterPredicate_; }
    // The predicate AND the filter.
    plat::Predicate applyPredicateFilter(const plat::Predicate& predicate) const;

    std::vector<Ref<VnUserBookmarkData>> bookmarksForIssueInfo(const Ref<VnInfo>& issueInfo);
    // Every bookmark of the store, without the filter.
    std::vector<Ref<VnUserBookmarkData>> allBookmarks();
    // A new bookmark of the item, not yet saved: the caller fills it and adds it.
    Ref<VnUserBookmarkData> bookmarkWithIssueInfo(const Ref<VnInfo>& issueInfo);
    void addBookmark(const Ref<VnUserBookmarkData>& bookmark);
    void removeBookmark(const Ref<VnUserBookmarkData>& bookmark);
    void persistBookmarks();
    Ref<VnUserBookmarkData> bookmarkForIssueInfo(const Ref<VnInfo>& issueInfo,
                                                 const std::string& pageName);

  private:
    Ref<VnDataContext> dataContext() const;
    std::vector<Ref<VnUserBookmarkData>> bookmarks(const plat::Predicate& predicate);

    WeakRef<plat::Object> userContext_;
    plat::Predicate filterPredicate_;
};
