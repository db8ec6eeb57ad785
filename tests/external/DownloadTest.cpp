// Downloads to a file that resume: dropped mid-body, from a server that ignores "Range",
// dropped again while resuming, a partial reply from the wrong place, and a server that hangs up
// before it says anything.
#include <gtest/gtest.h>

#include <fstream>

#include "demo-service/DemoService.h"
#include "external/ASIHTTPRequest.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/net/RawHttpServer.h"

namespace {

constexpr int64_t kSize = 3'000'000;

std::string expected() {
    std::string bytes(kSize, '\0');
    for (int64_t i = 0; i < kSize; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>(demo::DemoService::generatedByte(i, 9));
    return bytes;
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class DownloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        service.addGeneratedFile("/issue.bin", kSize, 9);
        ASSERT_TRUE(service.start());
    }
    // One resumable download into the folder; answers whether it finished.
    Ref<ASIHTTPRequest> download() {
        auto request =
            ASIHTTPRequest::requestWithURL(*plat::Url::parse(service.baseUrl() + "/issue.bin"));
        request->setAllowCompressedResponse(false);
        request->setAllowResumeForFileDownloads(true);
        request->setDownloadDestinationPath((folder / "issue.bin").string());
        request->setTemporaryFileDownloadPath((folder / "issue.bin.part").string());
        bool done = false;
        request->setCompletionBlock([&] { done = true; });
        request->setFailedBlock([&] { done = true; });
        request->startAsynchronous();
        plat::RunLoop::current().runUntil([&] { return done && request->isFinished(); }, 20);
        request->setCompletionBlock(nullptr);
        request->setFailedBlock(nullptr);
        return request;
    }
    demo::DemoService service;
    std::filesystem::path folder = testing_support::freshTestFolder();
};

TEST_F(DownloadTest, DroppedDownloadsResumeByteExactAndWrongPartialRepliesFail) {
    const std::string whole = expected();

    // Dropped once mid-body: the retry asks for the rest and the file ends whole.
    demo::Fault drop = demo::Fault::truncateAfter(1'000'000);
    drop.calls = 1;
    service.setFault("/issue.bin", drop);
    auto first = download();
    EXPECT_FALSE(first->error());
    EXPECT_EQ(readAll(folder / "issue.bin"), whole);
    EXPECT_FALSE(std::filesystem::exists(folder / "issue.bin.part"));
    const auto ranges = service.requests();
    EXPECT_EQ(ranges.back().header("Range"), "bytes=1000000-");

    // Dropped twice: the request fails with the partial file kept; a new one resumes it.
    std::filesystem::remove(folder / "issue.bin");
    drop.calls = 2;
    service.clearFaults();
    service.setFault("/issue.bin", drop);
    auto twice = download();
    ASSERT_TRUE(twice->error());
    EXPECT_EQ(twice->error()->code(), 1);
    EXPECT_TRUE(std::filesystem::exists(folder / "issue.bin.part"));
    service.clearFaults();
    auto resumed = download();
    EXPECT_FALSE(resumed->error());
    EXPECT_EQ(readAll(folder / "issue.bin"), whole);
    EXPECT_FALSE(std::filesystem::exists(folder / "issue.bin.part"));

    // A server that ignores "Range" sends it all: the partial file is rewritten from the start.
    std::ofstream(folder / "issue.bin.part", std::ios::binary) << whole.substr(0, 500'000);
    service.setFault("/issue.bin", demo::Fault{demo::FaultKind::IgnoreRange});
    auto ignored = download();
    EXPECT_FALSE(ignored->error());
    EXPECT_EQ(readAll(folder / "issue.bin"), whole);

    // A partial reply from the wrong place: code 8, the partial file untouched.
    std::ofstream(folder / "issue.bin.part", std::ios::binary) << whole.substr(0, 500'000);
    service.clearFaults();
    service.setFault("/issue.bin", demo::Fault{demo::FaultKind::WrongRange});
    auto wrong = download();
    ASSERT_TRUE(wrong->error());
    EXPECT_EQ(wrong->error()->code(), 8);
    EXPECT_EQ(readAll(folder / "issue.bin.part"), whole.substr(0, 500'000));
}

TEST(DownloadHangUp, AServerThatClosesBeforeAnyReplyFailsClearlyAfterOneRetry) {
    net_test::RawHttpServer silent([](const std::string&, const std::string&) {
        return net_test::RawHttpServer::Reply{"", true};
    });
    const auto folder = testing_support::freshTestFolder();
    auto request = ASIHTTPRequest::requestWithURL(*plat::Url::parse(silent.url("/issue.bin")));
    request->setAllowResumeForFileDownloads(true);
    request->setDownloadDestinationPath((folder / "issue.bin").string());
    request->setTemporaryFileDownloadPath((folder / "issue.bin.part").string());
    int finished = 0, failed = 0;
    request->setCompletionBlock([&] { ++finished; });
    request->setFailedBlock([&] { ++failed; });
    request->startAsynchronous();
    ASSERT_TRUE(plat::RunLoop::current().runUntil(
        [&] { return finished + failed > 0 && request->isFinished(); }, 20));
    plat::RunLoop::current().runUntil([] { return false; }, 0.05);
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(failed, 1);
    ASSERT_TRUE(request->error());
    EXPECT_EQ(request->error()->code(), 1);
    EXPECT_EQ(request->error()->localizedDescription(), "A connection failure occurred");
    EXPECT_EQ(request->retryCount(), 1);
    EXPECT_EQ(silent.connections(), 2U);  // the first attempt and its one retry
    EXPECT_EQ(request->responseStatusCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "issue.bin"));
    EXPECT_TRUE(!std::filesystem::exists(folder / "issue.bin.part") ||
                std::filesystem::file_size(folder / "issue.bin.part") == 0);
    request->setCompletionBlock(nullptr);
    request->setFailedBlock(nullptr);
}

}  // namespace
