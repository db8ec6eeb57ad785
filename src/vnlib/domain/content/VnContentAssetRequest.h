#pragma once
// VnContentAssetRequest: turns a content asset id into a complete cached file. A complete cache
// file answers at once (on a later turn, without the network); otherwise the file's location
// comes from a process-wide file-info cache (entries live 4 hours) or from "GetAssetFiles"
// through the user context's gate, and the resumable downloader fetches it. The result is the
// file's VnContentAsset. An id whose text or item code could not be a file name (empty, ".",
// "..", "/" or NUL) fails on the next turn. A download that fails from a cached location drops
// that location, so that the next attempt asks for it again.
#include <optional>

#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/content/VnContentAssetId.h"
#include "vnlib/domain/content/VnLocalCacheAsset.h"
#include "vnlib/info/member/VnAssetFileInfo.h"
#include "vnlib/service/params/VnRequestAssetInfo.h"

class VnBookStoreUserContext;

// One asset record of a "GetAssetFiles" call and the ids it asks for.
struct VnAssetRequestGroup {
    Ref<VnRequestAssetInfo> record;  // its request id is the group's number
    std::vector<Ref<VnContentAssetId>> ids;
};

class VnContentAssetRequest : public VnRequestContext {
    PLAT_CLASS(VnContentAssetRequest)
  public:
    static constexpr double kFileInfoLifetime = 14400.0;

    VnContentAssetRequest(Ref<VnContentAssetId> assetId, Ref<VnBookStoreUserContext> context);

    const Ref<VnContentAssetId>& assetId() const { return assetId_; }
    const Ref<VnAssetFileInfo>& assetFileInfo() const { return assetFileInfo_; }
    void setAssetFileInfo(Ref<VnAssetFileInfo> info) { assetFileInfo_ = std::move(info); }
    const std::optional<plat::Url>& contentUrl() const { return contentUrl_; }
    void setContentUrl(std::optional<plat::Url> url) { contentUrl_ = std::move(url); }
    const Ref<VnRequestContext>& currentReq() const { return currentReq_; }

    Ref<VnRequestAssetInfo> assetInfo() const;
    static Ref<VnRequestAssetInfo> requestAssetInfoWithContentAssetId(
        const VnContentAssetId& id, const std::string& requestId = "");
    // Ids grouped by item, format and type, the groups numbered "0", "1", ... in order of first
    // appearance; the reply names each file by its group's number and its id.
    static std::vector<VnAssetRequestGroup> groupAssetIds(
        const std::vector<Ref<VnContentAssetId>>& ids);
    static Ref<VnRequestContext> requestForAssetFileInfoWithAssetId(
        const Ref<VnContentAssetId>& id, const Ref<VnBookStoreUserContext>& userContext);
    // The process-wide file-info cache; `now` is the current time (seconds since 1970).
    static Ref<VnAssetFileInfo> fileInfoForAssetId(const Ref<VnContentAssetId>& id,
                                                   double now = plat::Date::now().seconds);
    static void addGlobalFileInfo(const Ref<VnAssetFileInfo>& info, const Ref<VnContentAssetId>& id,
                                  double now = plat::Date::now().seconds);
    static void removeGlobalFileInfoForAssetId(const Ref<VnContentAssetId>& id);
    // Empties the file-info cache: the locations it holds name another service (tests that start
    // a new demo service in the same process).
    static void forgetGlobalFileInfos();
    bool tryFetchFromGlobalCache();
    void startDownloadFromFileInfo();

    void urlReq_request_didFinishWithResult(Ref<VnRequestContext> request,
                                            Ref<VnRequestResult> result);
    void download_request_didFinishWithResult(Ref<VnRequestContext> request,
                                              Ref<VnRequestResult> result);
    void download_request_progressReport(Ref<VnRequestContext> request, VnRequestProgress progress);

  protected:
    void coreStart() override;
    void coreCancel() override;
    void corePrioritize() override;

  private:
    Ref<VnAssetFileInfo> assetFileInfo_;
    Ref<VnBookStoreUserContext> context_;
    Ref<VnContentAssetId> assetId_;
    Ref<VnLocalCacheAsset> localCache_;
    Ref<VnRequestContext> currentReq_;
    bool prioritizing_ = false;
    bool fileInfoFromCache_ = false;
    std::optional<plat::Url> contentUrl_;
};
