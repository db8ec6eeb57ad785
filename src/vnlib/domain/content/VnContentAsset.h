#pragma once
// VnContentAsset: read-only access to the bytes of one complete cached content file, read on
// first use and kept until purged. dataWithScale(n) for n other than 1 reads the file
// "<path without extension><n>x<extension>" (read anew each time). The bytes can also be read
// and converted on a background thread, with the result handed to a callback on the main thread.
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "vnlib/dev/util/VndObject.h"

class VnContentAsset : public VndDataProxy {
    PLAT_CLASS(VnContentAsset)
  public:
    explicit VnContentAsset(std::filesystem::path filePath);
    VnContentAsset(std::filesystem::path filePath, plat::Bytes preloadedData);
    // An asset over a resource file the application carries (share/varnel beside the program).
    static Ref<VnContentAsset> assetNamed(const std::string& name);

    const std::filesystem::path& filePath() const { return filePath_; }
    // Nothing while the file cannot be read (it is tried again on the next call).
    std::optional<plat::Bytes> data() override;
    std::optional<plat::Bytes> dataWithScale(int32_t scale) override;
    void purgeMemoryCache() override;
    std::string description() const override;

    // Reads the bytes on a new thread, converts them there, then calls back on the main thread
    // with this asset, the converted value and the user info.
    using Converter = std::function<plat::Value(const std::optional<plat::Bytes>&)>;
    using Callback = std::function<void(const Ref<VnContentAsset>&, const plat::Value& converted,
                                        const plat::Value& userInfo)>;
    void backgroundLoadData(Converter converter, Callback callback, plat::Value userInfo);

  private:
    std::filesystem::path filePath_;
    std::mutex lock_;
    std::optional<plat::Bytes> data_;
    std::map<int32_t, plat::Bytes> scaledDataMap_;
};
