#pragma once
// VnBookstoreDownloadCenter: a broadcast point through which any part asks every download
// observer to stop downloading an item. Observers are not retained; one registered twice is told
// twice; those that do not answer "bookstoreDownloadCenter:notifyShouldStopDownload:" (centre,
// item) are skipped. Calls are synchronous, oldest registration first.
// VnMagazineIssueContextCollection: one magazine-issue context per item of a list, looked up by
// the item's code (a later item with the same code wins).
#include <map>
#include <string>
#include <vector>

#include "platform/core/Message.h"
#include "vnlib/dev/delegate/MulticastDelegate.h"

class VnBookStoreUserContext;
class VnMagazineIssueContext;
class VnMagazineIssueInfo;

// What the download center's listeners hear (through its multicast delegate).
struct VnBookstoreDownloadCenterListener {
    static constexpr plat::Message<void(const Ref<plat::Object>&, const Ref<VnMagazineIssueInfo>&)>
        kShouldStopDownload{"bookstoreDownloadCenter:notifyShouldStopDownload:"};
};

class VnBookstoreDownloadCenter : public plat::Object {
    PLAT_CLASS(VnBookstoreDownloadCenter)
  public:
    VnBookstoreDownloadCenter();
    // The process-wide centre.
    static const Ref<VnBookstoreDownloadCenter>& defaultCenter();

    const Ref<MulticastDelegate>& multicastDelegate() const { return multicastDelegate_; }
    void addDownloadObserver(const Ref<plat::Object>& observer);
    void removeDownloadObserver(const Ref<plat::Object>& observer);
    void notifyShouldStopDownloadWithIssueInfo(const Ref<VnMagazineIssueInfo>& info);

  private:
    Ref<MulticastDelegate> multicastDelegate_;
};

class VnMagazineIssueContextCollection : public plat::Object {
    PLAT_CLASS(VnMagazineIssueContextCollection)
  public:
    VnMagazineIssueContextCollection(std::vector<Ref<VnMagazineIssueInfo>> infos,
                                     const Ref<VnBookStoreUserContext>& userContext);
    static Ref<VnMagazineIssueContextCollection> initWithInfos(
        std::vector<Ref<VnMagazineIssueInfo>> infos,
        const Ref<VnBookStoreUserContext>& userContext);

    // Null for an item whose code was not in the list.
    Ref<VnMagazineIssueContext> contextWithInfo(const Ref<VnMagazineIssueInfo>& info) const;
    const std::vector<Ref<VnMagazineIssueInfo>>& infos() const { return infos_; }

  private:
    std::vector<Ref<VnMagazineIssueInfo>> infos_;
    std::map<std::string, Ref<VnMagazineIssueContext>> contexts_;
};
