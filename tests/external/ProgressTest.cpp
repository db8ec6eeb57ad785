// Time-outs on a virtual clock and progress reports.
#include <gtest/gtest.h>

#include <thread>

#include "external/ASIHTTPRequest.h"
#include "support/net/RawHttpServer.h"

using net_test::RawHttpServer;

namespace {

class Meter : public plat::Object {
    PLAT_CLASS(Meter)
  public:
    void setMaxValue(double value) { max = value; }
    void setDoubleValue(double value) { fractions.push_back(value); }
    void received(Ref<plat::Object>, uint64_t bytes) { receivedBytes += bytes, ++receives; }
    void sent(Ref<plat::Object>, int64_t bytes) { sentBytes += bytes; }
    void downloadSize(Ref<plat::Object>, int64_t bytes) { downloadTotal += bytes; }
    void uploadSize(Ref<plat::Object>, int64_t bytes) { uploadTotal += bytes; }
    double max = 0;
    std::vector<double> fractions;
    uint64_t receivedBytes = 0;
    int receives = 0;
    int64_t sentBytes = 0, downloadTotal = 0, uploadTotal = 0;
};

bool waitForProgress(const std::function<bool()>& condition, double seconds = 10) {
    plat::RunLoop::current().runUntil(condition, seconds);
    return condition();
}

class TimeOutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock = std::make_shared<plat::VirtualClock>();
        plat::RunLoop::main().setClock(clock);
        server.hold();  // the server never answers
    }
    void TearDown() override {
        plat::RunLoop::main().setClock(nullptr);
        server.release();
    }
    // Runs a synchronous request to its end; answers the virtual seconds it took.
    double runSynchronously(const Ref<ASIHTTPRequest>& request) {
        const double start = clock->now();
        request->startSynchronous();
        return clock->now() - start;
    }
    std::shared_ptr<plat::VirtualClock> clock;
    RawHttpServer server{[](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok("late")};
    }};
};

TEST_F(TimeOutTest, SilenceTimesOutRetriesFirstAndNeverWithoutALimit) {
    auto plain = ASIHTTPRequest::requestWithURL(*plat::Url::parse(server.url("/silent")));
    const double took = runSynchronously(plain);
    ASSERT_TRUE(plain->error());
    EXPECT_EQ(plain->error()->code(), 2);
    EXPECT_GT(took, 10.0);
    EXPECT_LT(took, 11.0);
    plain->cancel();  // after the time-out: nothing more is reported
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(plain->error()->code(), 2);

    // A body whose upload buffer is not known yet gets half as long again.
    auto upload = ASIHTTPRequest::requestWithURL(*plat::Url::parse(server.url("/upload")));
    upload->appendPostData({'1', '2', '3'});
    EXPECT_GT(runSynchronously(upload), 15.0);
    EXPECT_EQ(upload->error()->code(), 2);

    // Two retries, each sending the request again, then the failure: on the network thread's
    // loop, with its clock moved by hand so that each attempt reaches the server first.
    auto stepped = std::make_shared<plat::VirtualClock>();
    stepped->setAutoAdvance(false);
    plat::RunLoop& network = ASIHTTPRequest::threadForRequest(nullptr).runLoop();
    network.setClock(stepped);
    auto retried = ASIHTTPRequest::requestWithURL(*plat::Url::parse(server.url("/retried")));
    retried->setNumberOfTimesToRetryOnTimeout(2);
    bool failed = false;
    retried->setFailedBlock([&] { failed = true; });
    const size_t before = server.heads().size();
    retried->startAsynchronous();
    for (size_t attempt = 1; attempt <= 3; ++attempt) {
        // (A lagging network thread may already have sent a later attempt.)
        ASSERT_TRUE(waitForProgress([&] { return server.heads().size() - before >= attempt; }))
            << attempt;
        // Time moves until the next attempt arrives (or the request gives up).
        for (int step = 0; step < 400 && !failed && server.heads().size() - before <= attempt;
             ++step) {
            stepped->advance(0.25);
            plat::RunLoop::current().runUntil([] { return false; }, 0.002);
        }
    }
    // Time goes on until the last time-out is reported (the network thread may lag behind).
    for (int step = 0; step < 2000 && !failed; ++step) {
        stepped->advance(0.25);
        plat::RunLoop::current().runUntil([&] { return failed; }, 0.005);
    }
    ASSERT_TRUE(failed);

    // No limit (0 or less): silence never fails the request.
    auto patient = ASIHTTPRequest::requestWithURL(*plat::Url::parse(server.url("/patient")));
    patient->setTimeOutSeconds(0);
    patient->startAsynchronous();
    ASSERT_TRUE(waitForProgress([&] { return server.heads().size() - before == 4; }));
    for (int step = 0; step < 400; ++step)
        stepped->advance(0.25);
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_FALSE(patient->error());
    patient->cancel();
    EXPECT_TRUE(waitForProgress([&] { return patient->isFinished(); }));
    network.setClock(nullptr);
    EXPECT_EQ(retried->error()->code(), 2);
    EXPECT_EQ(retried->retryCount(), 2);
    EXPECT_EQ(patient->error()->code(), 4);
}

TEST(Progress, ReceiversHearBytesThatSumToTheBodyAndClearedOnesNothing) {
    const std::string body(300'000, 'p');
    RawHttpServer server([&](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok(body)};
    });
    auto download = std::make_shared<Meter>();
    auto upload = std::make_shared<Meter>();
    auto request = ASIHTTPRequest::requestWithURL(*plat::Url::parse(server.url("/p")));
    request->setDownloadProgressDelegate(download);
    request->setUploadProgressDelegate(upload);
    request->appendPostData(plat::Bytes(50'000, 'u'));
    uint64_t blockBytes = 0;
    request->setBytesReceivedBlock([&](uint64_t bytes, uint64_t) { blockBytes += bytes; });
    bool done = false;
    request->setCompletionBlock([&] { done = true; });
    request->startAsynchronous();
    ASSERT_TRUE(waitForProgress([&] { return done; }));
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(download->max, 1.0);
    EXPECT_EQ(download->receivedBytes, body.size());
    EXPECT_EQ(blockBytes, body.size());
    EXPECT_EQ(download->downloadTotal, static_cast<int64_t>(body.size()));
    EXPECT_EQ(download->fractions.back(), 1.0);
    EXPECT_EQ(upload->uploadTotal + static_cast<int64_t>(request->uploadBufferSize()), 50'000);

    // Coarse mode: one step of 1 when done.
    auto coarse = std::make_shared<Meter>();
    auto rough = ASIHTTPRequest::requestWithURL(*plat::Url::parse(server.url("/p")));
    rough->setShowAccurateProgress(false);
    rough->setDownloadProgressDelegate(coarse);
    done = false;
    rough->setCompletionBlock([&] { done = true; });
    rough->startAsynchronous();
    ASSERT_TRUE(waitForProgress([&] { return done; }));
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(coarse->receives, 1);
    EXPECT_EQ(coarse->receivedBytes, 1U);

    // A receiver cleared before its deliveries run gets nothing; a request freed with
    // deliveries pending stays valid until they have run.
    auto cleared = std::make_shared<Meter>();
    {
        auto gone = ASIHTTPRequest::requestWithURL(*plat::Url::parse(server.url("/p")));
        gone->setDownloadProgressDelegate(cleared);
        std::thread([&] { gone->incrementDownloadSizeBy(5); }).join();  // queued for the main loop
        gone->setDownloadProgressDelegate(nullptr);
    }
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(cleared->downloadTotal, 0);
}

}  // namespace

PLAT_DEFINE_CLASS(Meter, plat::Object, [](auto& c) {
    c.method("setMaxValue:", &Meter::setMaxValue)
        .method("setDoubleValue:", &Meter::setDoubleValue)
        .method("request:didReceiveBytes:", &Meter::received)
        .method("request:didSendBytes:", &Meter::sent)
        .method("request:incrementDownloadSizeBy:", &Meter::downloadSize)
        .method("request:incrementUploadSizeBy:", &Meter::uploadSize);
})
