// The request queue against the demo service: only requests go in, HEAD twins come first for
// accurate progress, one failure cancels the rest with one "queue finished", reset, and a
// delegate that answers nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "auxiliary/net/ASINetworkQueue.h"
#include "demo-service/DemoService.h"

class QueueWatcher : public plat::Object {
    PLAT_CLASS(QueueWatcher)
  public:
    void finished(Ref<plat::Object>) { ++finishedCount; }
    void failed(Ref<plat::Object>) { ++failedCount; }
    void queueDone(Ref<plat::Object>) { ++queueDoneCount; }
    void setDoubleValue(double value) { fraction = value; }
    void setMaxValue(double value) { max = value; }
    int finishedCount = 0, failedCount = 0, queueDoneCount = 0;
    double fraction = -1, max = 0;
};
PLAT_DEFINE_CLASS(QueueWatcher, plat::Object, [](auto& c) {
    c.method("finished:", &QueueWatcher::finished)
        .method("failed:", &QueueWatcher::failed)
        .method("queueDone:", &QueueWatcher::queueDone)
        .method("setDoubleValue:", &QueueWatcher::setDoubleValue)
        .method("setMaxValue:", &QueueWatcher::setMaxValue);
})

namespace {

class NetworkQueueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i)
            service.addFile("/files/" + std::to_string(i), std::string(1000 + i, 'x'));
        ASSERT_TRUE(service.start());
        watcher = std::make_shared<QueueWatcher>();
    }
    Ref<ASIHTTPRequest> request(const std::string& path) {
        return ASIHTTPRequest::requestWithURL(*plat::Url::parse(service.baseUrl() + path));
    }
    demo::DemoService service;
    Ref<QueueWatcher> watcher;
};

TEST_F(NetworkQueueTest, AccurateProgressAsksForHeadsFirstAndEveryRequestEndsOnce) {
    auto queue = ASINetworkQueue::queue();
    EXPECT_THROW(queue->addOperation(plat::BlockOperation::make([] {})), plat::Exception);
    EXPECT_EQ(queue->requestsCount(), 0);

    queue->delegate = watcher;
    queue->requestDidFinishSelector = "finished:";
    queue->queueDidFinishSelector = "queueDone:";
    queue->showAccurateProgress = true;
    queue->setDownloadProgressDelegate(watcher);
    for (int i = 0; i < 3; ++i)
        queue->addOperation(request("/files/" + std::to_string(i)));
    EXPECT_EQ(queue->requestsCount(), 3);
    queue->go();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return watcher->queueDoneCount > 0; }, 20));
    plat::RunLoop::current().runUntil([] { return false; }, 0.1);
    EXPECT_EQ(watcher->finishedCount, 3);  // the twins report nothing
    EXPECT_EQ(watcher->queueDoneCount, 1);
    const auto log = service.requests();
    ASSERT_EQ(log.size(), 6U);
    // Each file's HEAD comes before its GET (the requests of different files may interleave).
    for (int i = 0; i < 3; ++i) {
        const std::string path = "/files/" + std::to_string(i);
        const auto at = [&](const char* method) {
            return std::find_if(
                       log.begin(), log.end(),
                       [&](const auto& r) { return r.method == method && r.path == path; }) -
                   log.begin();
        };
        EXPECT_LT(at("HEAD"), at("GET")) << path;
        EXPECT_LT(at("GET"), 6) << path;
    }
    EXPECT_EQ(queue->totalBytesToDownload(), 1000U + 1001U + 1002U);
    EXPECT_DOUBLE_EQ(watcher->fraction, 1.0);
    EXPECT_DOUBLE_EQ(watcher->max, 1.0);
}

TEST_F(NetworkQueueTest, OneFailureCancelsTheRestAndResetKeepsTheRedirectSelector) {
    auto queue = ASINetworkQueue::queue();
    queue->delegate = watcher;
    queue->requestDidFailSelector = "failed:";
    queue->queueDidFinishSelector = "queueDone:";
    queue->setMaxConcurrentOperationCount(1);  // the failure comes first
    // A refused connection fails (a 500 would be a finished request).
    queue->addOperation(ASIHTTPRequest::requestWithURL(*plat::Url::parse("http://127.0.0.1:1/")));
    for (int i = 1; i < 5; ++i) {
        service.setFault("/files/" + std::to_string(i), demo::Fault::stall());
        queue->addOperation(request("/files/" + std::to_string(i)));
    }
    EXPECT_EQ(queue->totalBytesToDownload(), 5U);
    queue->go();
    ASSERT_TRUE(plat::RunLoop::current().runUntil([&] { return watcher->queueDoneCount > 0; }, 20));
    plat::RunLoop::current().runUntil([] { return false; }, 0.2);
    service.releaseStalled();
    EXPECT_EQ(watcher->failedCount, 5);
    EXPECT_EQ(watcher->queueDoneCount, 1);
    EXPECT_EQ(queue->requestsCount(), 0);

    queue->requestWillRedirectSelector = "moved:to:";
    queue->reset();
    EXPECT_FALSE(queue->delegate.lock());
    EXPECT_EQ(queue->requestWillRedirectSelector, "moved:to:");
    EXPECT_TRUE(queue->requestDidFailSelector.empty());
    EXPECT_TRUE(queue->isSuspended());

    // A delegate that answers none of the selectors set is simply not told.
    auto silent = ASINetworkQueue::queue();
    auto plain = std::make_shared<plat::Object>();
    silent->delegate = plain;
    silent->requestDidFinishSelector = "finished:";
    silent->queueDidFinishSelector = "queueDone:";
    auto one = request("/files/1");
    service.clearFaults();
    silent->addOperation(one);
    silent->go();
    EXPECT_TRUE(plat::RunLoop::current().runUntil([&] { return one->complete(); }, 10));
    EXPECT_FALSE(silent->respondsToSelector(plat::Selector("authenticationNeededForRequest:")));
}

TEST_F(NetworkQueueTest, NegativeByteCountsNeverWrapTheSums) {
    // A request that resends its body reports the bytes it takes back as a negative count.
    auto queue = ASINetworkQueue::queue();
    queue->setUploadProgressDelegate(watcher);
    queue->requestIncrementUploadSizeBy(nullptr, 1000);
    queue->requestDidSendBytes(nullptr, 600);
    EXPECT_DOUBLE_EQ(watcher->fraction, 0.6);
    queue->requestDidSendBytes(nullptr, -200);
    EXPECT_EQ(queue->bytesUploadedSoFar(), 400U);
    queue->requestDidSendBytes(nullptr, -5000);  // more than was sent: none, not 2^64 - 4600
    EXPECT_EQ(queue->bytesUploadedSoFar(), 0U);
    EXPECT_DOUBLE_EQ(watcher->fraction, 0.0);
    queue->requestDidSendBytes(nullptr, std::numeric_limits<int64_t>::min());
    EXPECT_EQ(queue->bytesUploadedSoFar(), 0U);
    queue->requestIncrementUploadSizeBy(nullptr, -2000);
    EXPECT_EQ(queue->totalBytesToUpload(), 0U);
}

}  // namespace
