#include <gtest/gtest.h>

#include "demo-service/DemoService.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileManager.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/FileSizeLimit.h"
#include "vnlib/dev/web/VnNetworkActivityNotificationCenter.h"
#include "vnlib/domain/content/VnUrlDownloader.h"

using demo::Fault;
using demo::FaultKind;
using plat::Bytes;
namespace fs = std::filesystem;

namespace {

std::string fileBytes(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + static_cast<size_t>(seed) * 7) % 251);
    return bytes;
}

std::string contentOf(const fs::path& path) {
    auto bytes = plat::AtomicFile::read(path, 64 << 20);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(none)";
}

class UrlDownloaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = testing_support::freshTestFolder();
        ASSERT_TRUE(service.start());
    }

    Ref<VnLocalCacheAsset> assetHolding(const std::string& name, const std::string& held = {}) {
        if (!held.empty())
            plat::AtomicFile::write(folder / (name + ".tmp"), Bytes(held.begin(), held.end()));
        return std::make_shared<VnLocalCacheAsset>(folder / name);
    }
    Ref<VnUrlDownloader> downloader(const std::string& path, const Ref<VnLocalCacheAsset>& asset) {
        return std::make_shared<VnUrlDownloader>(plat::Url::parse(service.baseUrl() + path), asset);
    }
    // Runs the download to its end and answers its result.
    Ref<VnRequestResult> run(const Ref<VnUrlDownloader>& download) {
        Ref<VnRequestResult> result;
        download->startWithDidFinishBlock(
            [&](const Ref<VnRequestResult>& r, const plat::Value&) { result = r; });
        EXPECT_TRUE(plat::RunLoop::current().runUntil([&] { return result != nullptr; }, 20));
        EXPECT_EQ(VnNetworkActivityNotificationCenter::defaultCenter()->activityCount(), 0);
        return result;
    }
    std::vector<std::string> ranges(const std::string& path) {
        std::vector<std::string> out;
        for (const auto& r : service.requests()) {
            if (r.path == path)
                out.push_back(r.header("Range"));
        }
        return out;
    }

    fs::path folder;
    demo::DemoService service;
};

}  // namespace

TEST_F(UrlDownloaderTest, ResumesRestartsAndCompletesByWhatTheServerAnswers) {
    const std::string file = fileBytes(3000, 1);
    service.addFile("/f", file);

    // 1000 bytes held: the request asks for the rest, and the 206 continues the file.
    auto resumed = assetHolding("resumed", file.substr(0, 1000));
    auto result = run(downloader("/f", resumed));
    ASSERT_TRUE(result->succeed()) << result->errorMessage().value_or("");
    EXPECT_EQ(contentOf(resumed->filePath()), file);
    EXPECT_EQ(ranges("/f"), std::vector<std::string>{"bytes=1000-"});
    EXPECT_EQ(result->returnValue().as<VnContentAsset>()->filePath(), resumed->filePath());
    EXPECT_EQ(resumed->lockingToken(), 0);

    // A 200 as long as what is held: complete at once with the held bytes.
    const std::string small = fileBytes(1000, 2);
    service.addFile("/small", small);
    service.setFault("/small", Fault{FaultKind::IgnoreRange});
    auto sameLength = assetHolding("same", std::string(1000, 'h'));
    ASSERT_TRUE(run(downloader("/small", sameLength))->succeed());
    EXPECT_EQ(contentOf(sameLength->filePath()), std::string(1000, 'h'));
    // A 200 of another length: the partial file is dropped and the body stored from its start.
    auto otherLength = assetHolding("other", std::string(700, 'h'));
    ASSERT_TRUE(run(downloader("/small", otherLength))->succeed());
    EXPECT_EQ(contentOf(otherLength->filePath()), small);

    // More held than the file has: 416, then the whole file without "Range", no retry used.
    service.clearRequests();
    auto tooLong = assetHolding("toolong", std::string(5000, 'x'));
    auto restart = downloader("/f", tooLong);
    ASSERT_TRUE(run(restart)->succeed());
    EXPECT_EQ(contentOf(tooLong->filePath()), file);
    EXPECT_EQ(ranges("/f"), (std::vector<std::string>{"bytes=5000-", ""}));
    EXPECT_EQ(restart->retryCount(), 0);

    // A 206 from the wrong place is not appended: the file is fetched again from its start.
    service.setFault("/f", Fault{FaultKind::WrongRange});
    auto misplaced = assetHolding("misplaced", file.substr(0, 500));
    ASSERT_TRUE(run(downloader("/f", misplaced))->succeed());
    EXPECT_EQ(contentOf(misplaced->filePath()), file);
    service.clearFaults();

    // No length at all: read to the end of the stream; an empty file is an empty P.
    service.setFault("/f", Fault{FaultKind::Chunked});
    auto chunked = assetHolding("chunked");
    ASSERT_TRUE(run(downloader("/f", chunked))->succeed());
    EXPECT_EQ(contentOf(chunked->filePath()), file);
    service.clearFaults();
    service.addFile("/empty", "");
    auto empty = assetHolding("empty");
    ASSERT_TRUE(run(downloader("/empty", empty))->succeed());
    EXPECT_TRUE(plat::FileManager::fileExists(empty->filePath()));
    EXPECT_EQ(contentOf(empty->filePath()), "");
}

TEST_F(UrlDownloaderTest, BrokenTransfersRetryAtMostThreeTimesAndFailuresFreeTheLock) {
    const std::string file = fileBytes(4000, 3);
    service.addFile("/f", file);

    // One transfer cut in the middle: resumed where it stopped.
    service.setFaultForNext(1, Fault{FaultKind::Drop});
    auto once = assetHolding("once");
    auto retried = downloader("/f", once);
    ASSERT_TRUE(run(retried)->succeed());
    EXPECT_EQ(contentOf(once->filePath()), file);
    EXPECT_EQ(retried->retryCount(), 1);

    // Cut every time: after three retries the download fails and the lock is free.
    service.setFault("/f", Fault{FaultKind::Drop});
    service.clearRequests();
    auto always = assetHolding("always");
    auto failing = downloader("/f", always);
    auto result = run(failing);
    EXPECT_FALSE(result->succeed());
    EXPECT_EQ(ranges("/f").size(), 4u);  // the first try and three retries
    EXPECT_EQ(always->lockingToken(), 0);
    EXPECT_NE(always->state(), VnLocalCacheAssetStateComplete);
    service.clearFaults();

    // 404: no retry; the message carries the status.
    service.clearRequests();
    result = run(downloader("/missing", assetHolding("missing")));
    EXPECT_EQ(result->errorMessage(), "HTTP respnse error code 404");
    EXPECT_EQ(ranges("/missing").size(), 1u);

    // A second downloader of a locked asset fails and leaves the file alone.
    auto locked = assetHolding("locked", "partial");
    const int32_t token = locked->tryObtainWritingLock();
    result = run(downloader("/f", locked));
    EXPECT_NE(result->errorMessage().value_or("").find("Cannot obtain writing lock"),
              std::string::npos);
    EXPECT_EQ(contentOf(locked->tempFilePath()), "partial");
    EXPECT_EQ(locked->lockingToken(), token);

    // A disk that cannot take the bytes fails the download and clears the asset.
    auto full = assetHolding("full");
    {
        testing_support::ScopedFileSizeLimit limit(1000);
        result = run(downloader("/f", full));
    }
    EXPECT_FALSE(result->succeed());
    EXPECT_EQ(full->state(), VnLocalCacheAssetStateEmpty);
    EXPECT_FALSE(plat::FileManager::fileExists(full->tempFilePath()));
    EXPECT_EQ(full->lockingToken(), 0);

    // A missing URL.
    auto nowhere = std::make_shared<VnUrlDownloader>(std::nullopt, assetHolding("nowhere"));
    EXPECT_EQ(run(nowhere)->errorMessage(), "Invalid URL");
}

TEST_F(UrlDownloaderTest, FourRunAtOnceAndAPrioritisedOneGoesNext) {
    for (int i = 0; i < 6; ++i)
        service.addFile("/f" + std::to_string(i), fileBytes(100, 4));
    // Every one stalls until released, so that no place frees itself; cancelling the fourth
    // frees one place in the queue.
    for (int i = 0; i < 6; ++i)
        service.setFault("/f" + std::to_string(i), Fault::stall());
    std::vector<Ref<VnUrlDownloader>> downloads;
    std::vector<Ref<VnRequestResult>> results(6);
    std::vector<int> finishOrder;
    for (int i = 0; i < 6; ++i) {
        downloads.push_back(
            downloader("/f" + std::to_string(i), assetHolding("d" + std::to_string(i))));
        downloads.back()->startWithDidFinishBlock(
            [&, i](const Ref<VnRequestResult>& r, const plat::Value&) {
                results[static_cast<size_t>(i)] = r;
                finishOrder.push_back(i);
            });
    }
    ASSERT_TRUE(service.waitForStalled(4));
    EXPECT_EQ(VnUrlDownloader::connectionQueue().activeCount(), 4u);
    EXPECT_EQ(VnUrlDownloader::connectionQueue().pendingCount(), 2u);
    downloads[5]->prioritize();  // waiting: moves to the front
    downloads[0]->prioritize();  // running: stays
    downloads[3]->cancel();
    // The one place freed goes to the prioritised sixth, before the fifth.
    const auto arrived = [&](const std::string& path) {
        const auto requests = service.requests();
        return std::any_of(requests.begin(), requests.end(),
                           [&](const auto& request) { return request.path == path; });
    };
    ASSERT_TRUE(
        plat::RunLoop::current().runUntil([&] { return arrived("/f4") || arrived("/f5"); }, 20));
    EXPECT_TRUE(arrived("/f5"));
    EXPECT_FALSE(arrived("/f4"));
    service.clearFaults();
    service.releaseStalled();
    // The cancelled fourth reports nothing; the others all finish.
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return finishOrder.size() == 5; }, 20));
    for (size_t i = 0; i < results.size(); ++i)
        EXPECT_TRUE(i == 3 ? !results[i] : results[i] && results[i]->succeed()) << i;
    EXPECT_LE(VnUrlDownloader::connectionQueue().highWaterMark(), 4u);
    EXPECT_EQ(VnNetworkActivityNotificationCenter::defaultCenter()->activityCount(), 0);
}

TEST_F(UrlDownloaderTest, StallsTimeOutOnTheScaledClockAndTheDownloadResumes) {
    const int64_t size = 1 << 20;
    service.addGeneratedFile("/g", size, 5);
    plat::UrlConnection::setTimeoutScaleForTesting(0.01);  // the 15 s time-out lasts 150 ms
    auto probe = downloader("/g", assetHolding("probe"));
    EXPECT_EQ(probe->requestWithResumeAtPosition(0).timeoutInterval(), 15.0);

    // Before the headers, then in the middle of the body: each stall fails the connection with
    // -1001, and the retry resumes from what arrived.
    service.setFaultForNext(1, Fault::stall(5));
    auto first = assetHolding("first");
    const auto started = std::chrono::steady_clock::now();
    auto result = run(downloader("/g", first));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    service.releaseStalled();
    ASSERT_TRUE(result->succeed()) << result->errorMessage().value_or("");
    EXPECT_LT(seconds, 3.0);

    service.clearRequests();
    service.setFaultForNext(1, Fault::stallAfter(300000, 5));
    auto second = assetHolding("second");
    result = run(downloader("/g", second));
    service.releaseStalled();
    plat::UrlConnection::setTimeoutScaleForTesting(1);
    ASSERT_TRUE(result->succeed()) << result->errorMessage().value_or("");
    const auto asked = ranges("/g");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], "");
    EXPECT_EQ(asked[1], "bytes=300000-");
    auto bytes = plat::AtomicFile::read(second->filePath(), size + 1);
    ASSERT_TRUE(bytes && static_cast<int64_t>(bytes->size()) == size);
    for (int64_t i = 0; i < size; ++i) {
        ASSERT_EQ((*bytes)[static_cast<size_t>(i)], demo::DemoService::generatedByte(i, 5)) << i;
    }
}
