// Downloads one URL into one cache asset and exits 0 when it completed, 1 when it failed.
//   download_kill_child <url> <cache file path>
#include "platform/runloop/RunLoop.h"
#include "vnlib/domain/content/VnUrlDownloader.h"

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    auto asset = std::make_shared<VnLocalCacheAsset>(argv[2]);
    auto download = std::make_shared<VnUrlDownloader>(plat::Url::parse(argv[1]), asset);
    Ref<VnRequestResult> result;
    download->startWithDidFinishBlock(
        [&](const Ref<VnRequestResult>& r, const plat::Value&) { result = r; });
    plat::RunLoop::current().runUntil([&] { return result != nullptr; }, 600);
    return result && result->succeed() ? 0 : 1;
}
