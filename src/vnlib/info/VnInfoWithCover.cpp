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

struct VnInfoWithCover::Cover {
    Ref<VndDataProxy> provider;
    Ref<VndCachableDataProxy> cache;
    Ref<plat::Image> image;
    Ref<VnRequestContext> request;
    Ref<VndDataProxy> fullResolutionProvider;
    Ref<VndCachableDataProxy> fullResolutionCache;
    Ref<plat::Image> fullResolutionImage;
};

namespace {
Ref<plat::Image> decode(const Ref<VndCachableDataProxy>& cache) {
    if (!cache)
        return nullptr;
    auto bytes = cache->data();
    return bytes ? plat::Image::imageWithData(*bytes) : nullptr;
}

const Ref<VndDataProxy>& noProvider() {
    static const Ref<VndDataProxy> none;
    return none;
}
}  // namespace

VnInfoWithCover::VnInfoWithCover() = default;

VnInfoWithCover::~VnInfoWithCover() {
    if (cover_ && cover_->request)
        cover_->request->cancel();
}

VnInfoWithCover::Cover& VnInfoWithCover::cover() const {
    if (!cover_)
        cover_ = std::make_unique<Cover>();
    return *cover_;
}

bool VnInfoWithCover::coverImageLoaded() const {
    return cover_ && cover_->image != nullptr;
}

const Ref<VndDataProxy>& VnInfoWithCover::coverImageDataProvider() const {
    return cover_ ? cover_->provider : noProvider();
}

const Ref<VndDataProxy>& VnInfoWithCover::fullResolutionCoverImageDataProvider() const {
    return cover_ ? cover_->fullResolutionProvider : noProvider();
}

Ref<plat::Image> VnInfoWithCover::coverImage() const {
    if (!cover_)
        return nullptr;
    if (!cover_->image)
        cover_->image = decode(cover_->cache);
    return cover_->image ? cover_->image : fullResolutionCoverImage();
}

Ref<plat::Image> VnInfoWithCover::fullResolutionCoverImage() const {
    if (!cover_)
        return nullptr;
    if (!cover_->fullResolutionImage)
        cover_->fullResolutionImage = decode(cover_->fullResolutionCache);
    return cover_->fullResolutionImage;
}

void VnInfoWithCover::setCoverImageDataProvider(Ref<VndDataProxy> provider) {
    if (provider == coverImageDataProvider())
        return;
    Cover& c = cover();
    if (auto request = std::move(c.request))
        request->cancel();
    c.request.reset();
    c.image.reset();  // the old picture belongs to the old provider
    c.provider = std::move(provider);
    c.cache = c.provider ? std::make_shared<VndCachableDataProxy>(c.provider) : nullptr;
}

void VnInfoWithCover::setFullResolutionCoverImageDataProvider(Ref<VndDataProxy> provider) {
    if (provider == fullResolutionCoverImageDataProvider())
        return;
    Cover& c = cover();
    c.fullResolutionImage.reset();
    c.fullResolutionProvider = std::move(provider);
    c.fullResolutionCache = c.fullResolutionProvider
                                ? std::make_shared<VndCachableDataProxy>(c.fullResolutionProvider)
                                : nullptr;
}

void VnInfoWithCover::replaceCoverWithImage(Ref<plat::Image> image, Ref<VndDataProxy> provider) {
    setCoverImageDataProvider(std::move(provider));
    cover().image = std::move(image);
}

void VnInfoWithCover::purgeMemoryCache() {
    VnInfoWithHashString::purgeMemoryCache();
    if (!cover_)
        return;
    cover_->image.reset();
    // Both caching wrappers let go of their bytes (and the providers behind them).
    if (cover_->cache)
        cover_->cache->purgeMemoryCache();
    purgeFullCoverImageMemoryCache();
}

void VnInfoWithCover::purgeFullCoverImageMemoryCache() {
    if (!cover_)
        return;
    cover_->fullResolutionImage.reset();
    if (cover_->fullResolutionCache)
        cover_->fullResolutionCache->purgeMemoryCache();
}

Ref<VnRequestContext> VnInfoWithCover::requestForCoverImage() {
    if (!coverImageDataProvider())
        plat::assertionFailed("coverImageDataProvider_", __FILE__, __LINE__);
    return cover_ && cover_->request ? cover_->request->jointRequest() : nullptr;
}

Ref<VnRequestResult> VnInfoWithCover::requestProxy_request_transformRequestResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext>, Ref<VnRequestResult> result) {
    if (!result || !result->succeed())
        return result;
    cover().image = result->returnValue().as<plat::Image>();
    return VnRequestResult::resultWithReturnValue(plat::Value(self<VnInfoWithCover>()), nullptr);
}

std::vector<std::string> VnInfoWithCover::coreSerializationExcludedPropertyNames() const {
    auto names = VnInfoWithHashString::coreSerializationExcludedPropertyNames();
    names.insert(names.end(), {"coverImage", "coverImageDataProvider", "fullResolutionCoverImage",
                               "fullResolutionCoverImageDataProvider"});
    return names;
}
