#include "vnlib/info/VnInfoWithCover.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnInfoWithCover, VnInfoWithHashString, [](auto& c) {
    c.property("coverImage", "T@\"NSImage\",R,N", &VnInfoWithCover::coverImage)
        .property("coverImageDataProvider", "T@\"VndDataProxy\",&,N",
                  &VnInfoWithCover::coverImageDataProvider,
                  &VnInfoWithCover::setCoverImageDataProvider)
        .property("fullResolutionCoverImage", "T@\"NSImage\",R,N",
                  &VnInfoWithCover::fullResolutionCoverImage)
        .property("fullResolutionCoverImageDataProvider", "T@\"VndDataProxy\",&,N",
                  &VnInfoWithCover::fullResolutionCoverImageDataProvider,
                  &VnInfoWithCover::setFullResolutionCoverImageDataProvider)
        .method("requestProxy:request:transformRequestResult:",
                &VnInfoWithCover::requestProxy_request_transformRequestResult);
})

namespace {
Ref<plat::Image> decode(const Ref<VndCachableDataProxy>& cache) {
    if (!cache)
        return nullptr;
    auto bytes = cache->data();
    return bytes ? plat::Image::imageWithData(*bytes) : nullptr;
}
}  // namespace

VnInfoWithCover::~VnInfoWithCover() {
    if (coverImageRequest_)
        coverImageRequest_->cancel();
}

Ref<plat::Image> VnInfoWithCover::coverImage() const {
    if (!coverImage_)
        coverImage_ = decode(coverCache_);
    return coverImage_ ? coverImage_ : fullResolutionCoverImage();
}

Ref<plat::Image> VnInfoWithCover::fullResolutionCoverImage() const {
    if (!fullResolutionCoverImage_)
        fullResolutionCoverImage_ = decode(fullResolutionCache_);
    return fullResolutionCoverImage_;
}

void VnInfoWithCover::setCoverImageDataProvider(Ref<VndDataProxy> provider) {
    if (provider == coverImageDataProvider_)
        return;
    if (auto request = std::move(coverImageRequest_))
        request->cancel();
    coverImageRequest_.reset();
    coverImage_.reset();  // the old picture belongs to the old provider
    coverImageDataProvider_ = std::move(provider);
    coverCache_ = coverImageDataProvider_
                      ? std::make_shared<VndCachableDataProxy>(coverImageDataProvider_)
                      : nullptr;
}

void VnInfoWithCover::setFullResolutionCoverImageDataProvider(Ref<VndDataProxy> provider) {
    if (provider == fullResolutionCoverImageDataProvider_)
        return;
    fullResolutionCoverImage_.reset();
    fullResolutionCoverImageDataProvider_ = std::move(provider);
    fullResolutionCache_ =
        fullResolutionCoverImageDataProvider_
            ? std::make_shared<VndCachableDataProxy>(fullResolutionCoverImageDataProvider_)
            : nullptr;
}

void VnInfoWithCover::replaceCoverWithImage(Ref<plat::Image> image, Ref<VndDataProxy> provider) {
    setCoverImageDataProvider(std::move(provider));
    coverImage_ = std::move(image);
}

void VnInfoWithCover::purgeMemoryCache() {
    VnInfoWithHashString::purgeMemoryCache();
    coverImage_.reset();
    // Both caching wrappers let go of their bytes (and the providers behind them).
    if (coverCache_)
        coverCache_->purgeMemoryCache();
    fullResolutionCoverImage_.reset();
    if (fullResolutionCache_)
        fullResolutionCache_->purgeMemoryCache();
}

void VnInfoWithCover::purgeFullCoverImageMemoryCache() {
    fullResolutionCoverImage_.reset();
    if (fullResolutionCache_)
        fullResolutionCache_->purgeMemoryCache();
}

Ref<VnRequestContext> VnInfoWithCover::requestForCoverImage() {
    if (!coverImageDataProvider_)
        plat::assertionFailed("coverImageDataProvider_", __FILE__, __LINE__);
    return coverImageRequest_ ? coverImageRequest_->jointRequest() : nullptr;
}

Ref<VnRequestResult> VnInfoWithCover::requestProxy_request_transformRequestResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!result || !result->succeed())
        return result;
    coverImage_ = result->returnValue().as<plat::Image>();
    return VnRequestResult::resultWithReturnValue(plat::Value(self<VnInfoWithCover>()), nullptr);
}

std::vector<std::string> VnInfoWithCover::coreSerializationExcludedPropertyNames() const {
    auto names = VnInfoWithHashString::coreSerializationExcludedPropertyNames();
    names.insert(names.end(), {"coverImage", "coverImageDataProvider", "fullResolutionCoverImage",
                               "fullResolutionCoverImageDataProvider"});
    return names;
}
