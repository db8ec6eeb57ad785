#include "vnlib/domain/content/VnContentAsset.h"

#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/Thread.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/InfoDictionary.h"

PLAT_DEFINE_CLASS(VnContentAsset, VndDataProxy, PLAT_NO_METHODS)

namespace {

// Content files are read whole; none of them comes near this.
constexpr size_t kMaxContentFileSize = size_t{1} << 31;

}  // namespace

VnContentAsset::VnContentAsset(std::filesystem::path filePath) : filePath_(std::move(filePath)) {}

VnContentAsset::VnContentAsset(std::filesystem::path filePath, plat::Bytes preloadedData)
    : filePath_(std::move(filePath)), data_(std::move(preloadedData)) {}

Ref<VnContentAsset> VnContentAsset::assetNamed(const std::string& name) {
    const auto paths = plat::InfoDictionary::searchPaths();
    const auto folder = paths.empty() ? std::filesystem::path() : paths.back().parent_path();
    return std::make_shared<VnContentAsset>(folder / name);
}

std::optional<plat::Bytes> VnContentAsset::data() {
    std::lock_guard guard(lock_);
    if (!data_)
        data_ = plat::AtomicFile::read(filePath_, kMaxContentFileSize);
    return data_;
}

std::optional<plat::Bytes> VnContentAsset::dataWithScale(int32_t scale) {
    if (scale == 1)
        return data();
    std::lock_guard guard(lock_);
    std::filesystem::path scaled = filePath_;
    scaled.replace_extension();
    scaled += std::to_string(scale) + "x" + filePath_.extension().string();
    auto bytes = plat::AtomicFile::read(scaled, kMaxContentFileSize);
    if (bytes)
        scaledDataMap_[scale] = *bytes;
    return bytes;
}

void VnContentAsset::purgeMemoryCache() {
    VndDataProxy::purgeMemoryCache();
    std::lock_guard guard(lock_);
    data_.reset();
    scaledDataMap_.clear();
}

std::string VnContentAsset::description() const {
    return "ContentAsset at " + filePath_.string();
}

void VnContentAsset::backgroundLoadData(Converter converter, Callback callback,
                                        plat::Value userInfo) {
    auto self = this->self<VnContentAsset>();
    plat::Thread::detachNew([self, converter = std::move(converter), callback = std::move(callback),
                             userInfo = std::move(userInfo)]() mutable {
        plat::Value converted = converter ? converter(self->data()) : plat::Value();
        plat::RunLoop::main().post([self, callback = std::move(callback),
                                    converted = std::move(converted),
                                    userInfo = std::move(userInfo)] {
            if (callback)
                callback(self, converted, userInfo);
        });
    });
}
