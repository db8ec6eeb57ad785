#pragma once
// VnInfoWithCover: the base of records that show a cover picture. The cover and the
// full-resolution cover come from data providers that the bookstore context sets when the files
// are in the cache; each is decoded on first request and kept until a purge or a provider change.
// Neither picture nor provider is part of the record's dictionary form.
#include <memory>

#include "platform/image/Image.h"
#include "vnlib/dev/request/VnRequestProxy2.h"
#include "vnlib/info/VnInfo.h"

class VnInfoWithCover : public VnInfoWithHashString {
    PLAT_CLASS(VnInfoWithCover)
  public:
    VnInfoWithCover();
    ~VnInfoWithCover() override;

    // The decoded cover, else the full-resolution cover; null without provider or picture.
    Ref<plat::Image> coverImage() const;
    Ref<plat::Image> fullResolutionCoverImage() const;
    bool coverImageLoaded() const;

    const Ref<VndDataProxy>& coverImageDataProvider() const;
    // A different provider (by identity) drops the decoded cover and any cover request.
    void setCoverImageDataProvider(Ref<VndDataProxy> provider);
    const Ref<VndDataProxy>& fullResolutionCoverImageDataProvider() const;
    void setFullResolutionCoverImageDataProvider(Ref<VndDataProxy> provider);
    // Sets the cover provider and the already decoded cover in one step.
    void replaceCoverWithImage(Ref<plat::Image> image, Ref<VndDataProxy> provider);

    void purgeMemoryCache() override;
    void purgeFullCoverImageMemoryCache();
    // The record never loads its cover itself: with a provider set this answers nothing.
    Ref<VnRequestContext> requestForCoverImage();
    // As a request proxy's delegate: a successful result becomes one carrying this record,
    // with the decoded cover loaded; a failed result passes unchanged.
    Ref<VnRequestResult> requestProxy_request_transformRequestResult(Ref<VnRequestProxy2> proxy,
                                                                     Ref<VnRequestContext> request,
                                                                     Ref<VnRequestResult> result);

    std::vector<std::string> coreSerializationExcludedPropertyNames() const override;

  private:
    struct Cover;
    // The cover's providers, caches, pictures and request, made when the first is set: most
    // records of a list never show their cover.
    Cover& cover() const;

    mutable std::unique_ptr<Cover> cover_;
};
