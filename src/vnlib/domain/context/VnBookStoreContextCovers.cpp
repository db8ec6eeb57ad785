// The bookstore context's cover and group-image downloads and decoded images.
#include "platform/image/Image.h"
#include "vnlib/domain/content/VnContentAsset.h"
#include "vnlib/domain/content/VnUrlDownloader.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"
#include "vnlib/info/store/VnShopGroupInfo.h"

namespace {

// The downloader kept under the key, made on first use.
Ref<VnUrlDownloader> downloaderFor(std::map<std::string, Ref<VnUrlDownloader>>& map,
                                   const std::string& key, const std::optional<std::string>& url,
                                   const Ref<VnLocalCacheAsset>& asset) {
    auto& slot = map[key];
    if (!slot) {
        std::optional<plat::Url> parsed;
        if (url)
            parsed = plat::Url::parse(*url);
        slot = std::make_shared<VnUrlDownloader>(parsed, asset);
    }
    return slot;
}

// The image kept under the key, else decoded from the provider's bytes and kept.
Ref<plat::Image> imageFor(std::map<std::string, Ref<plat::Image>>& map, const std::string& key,
                          const Ref<VndDataProxy>& provider) {
    if (auto it = map.find(key); it != map.end())
        return it->second;
    auto data = provider ? provider->data() : std::nullopt;
    auto image = data ? plat::Image::imageWithData(*data) : nullptr;
    if (image)
        map[key] = image;
    return image;
}

}  // namespace

Ref<VnLocalCacheAsset> VnBookStoreContext::cacheAssetForCoverWithMagazineIssueInfo(
    const Ref<VnInfo>& info) const {
    return booksLocalArchive()->subarchiveWithMagazineIssue(info)->assetWithId("cover.jpg");
}

Ref<VnRequestContext> VnBookStoreContext::newCoverRequestWithIssueInfo(
    const Ref<VnMagazineIssueInfo>& info) {
    PLAT_PARAMETER_ASSERT(info);
    auto downloader = downloaderFor(coverRequestMap_, info->code().value_or("NULL"),
                                    info->coverUrl_, cacheAssetForCoverWithMagazineIssueInfo(info));
    auto joint = downloader->jointRequest();
    joint->setUserInfo(plat::Value::fromObject(info));
    return joint->proxyWithProxyDelegate(self<VnBookStoreContext>(), "issueCover_");
}

Ref<VnRequestResult> VnBookStoreContext::issueCover_requestProxy_request_transformRequestResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext> request, Ref<VnRequestResult> result) {
    if (!result->succeed())
        return result;
    auto info = request->userInfo().as<VnMagazineIssueInfo>();
    auto provider = result->returnValue().as<VndDataProxy>();
    if (info && !info->fullResolutionCoverImageDataProvider())
        info->setFullResolutionCoverImageDataProvider(provider);
    return VnRequestResult::resultWithReturnValue(plat::Value::fromObject(info), nullptr);
}

Ref<VnRequestContext> VnBookStoreContext::requestForCoverWithMagazine(
    const Ref<VnMagazineInfo>& magazine) {
    PLAT_PARAMETER_ASSERT(magazine);
    const auto code = magazine->code().value_or("NULL");
    auto asset =
        localStorage_->magazinesArchive()->subarchiveWithId(code)->assetWithId("cover.jpg");
    auto joint =
        downloaderFor(magazineCoverRequestMap_, code, magazine->coverUrl_, asset)->jointRequest();
    joint->setUserInfo(plat::Value::fromObject(magazine));
    return joint->proxyWithProxyDelegate(self<VnBookStoreContext>(), "magazineCover_");
}

Ref<VnRequestResult> VnBookStoreContext::magazineCover_requestProxy_request_transformRequestResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext> request, Ref<VnRequestResult> result) {
    if (!result->succeed())
        return result;
    auto magazine = request->userInfo().as<VnMagazineInfo>();
    auto provider = result->returnValue().as<VndDataProxy>();
    if (!magazine)
        return result;
    auto image = imageFor(magazineCoverImageMap_, magazine->code().value_or("NULL"), provider);
    if (!image)
        return VnRequestResult::failedResultWithErrorMessage("The cover could not be decoded");
    magazine->replaceCoverWithImage(image, provider);
    return VnRequestResult::resultWithReturnValue(plat::Value::fromObject(magazine), nullptr);
}

Ref<VnRequestContext> VnBookStoreContext::requestForImageWithShopGroupInfo(
    const Ref<VnShopGroupInfo>& group) {
    PLAT_PARAMETER_ASSERT(group);
    const auto id = group->Id_.value_or("NULL");
    auto asset = localStorage_->storeLocalArchive()
                     ->subarchiveWithId("newShop")
                     ->subarchiveWithId("Image")
                     ->assetWithId("image_id_" + id + ".jpg");
    auto joint =
        downloaderFor(shopGroupInfoImageRequestMap_, id, group->ImageUrl_, asset)->jointRequest();
    joint->setUserInfo(plat::Value::fromObject(group));
    return joint->proxyWithProxyDelegate(self<VnBookStoreContext>(), "shopGroupInfoImage_");
}

Ref<VnRequestResult>
VnBookStoreContext::shopGroupInfoImage_requestProxy_request_transformRequestResult(
    Ref<VnRequestProxy2>, Ref<VnRequestContext> request, Ref<VnRequestResult> result) {
    if (!result->succeed())
        return result;
    auto group = request->userInfo().as<VnShopGroupInfo>();
    auto provider = result->returnValue().as<VndDataProxy>();
    if (!group)
        return result;
    auto image = imageFor(shopGroupInfoImageMap_, group->Id_.value_or("NULL"), provider);
    if (!image)
        return VnRequestResult::failedResultWithErrorMessage("The image could not be decoded");
    group->replaceCoverWithImage(image, provider);
    return VnRequestResult::resultWithReturnValue(plat::Value::fromObject(group), nullptr);
}
