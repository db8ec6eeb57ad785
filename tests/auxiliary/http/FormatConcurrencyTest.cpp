// The property-list and XML operations read from several threads while their reply is taken
// and parsed on the processing queue: every reader sees the one parsed object (run under
// ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "auxiliary/http/AFPropertyListRequestOperation.h"
#include "auxiliary/http/AFXMLRequestOperation.h"
#include "platform/net/HttpReadStream.h"
#include "support/net/RawHttpServer.h"

namespace {

using net_test::RawHttpServer;

// Starts the operation, reads it with `read` on four threads until each has seen a parsed
// object, and answers every object seen (the completion's own first).
template <class Op, class Read>
std::vector<const void*> readWhileTaken(const Ref<Op>& op, Read read) {
    std::atomic<bool> succeeded{false};
    const void* completed = nullptr;
    op->setCompletionBlockWithSuccess(
        [&](const Ref<AFHTTPRequestOperation>&, const plat::Value& object) {
            completed = object.object().get();
            succeeded = true;
        },
        [&](const Ref<AFHTTPRequestOperation>&, const Ref<plat::Error>&) { succeeded = true; });
    std::vector<const void*> seen(4, nullptr);
    std::vector<std::thread> readers;
    for (size_t i = 0; i < seen.size(); ++i) {
        readers.emplace_back([&, i] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!seen[i] && std::chrono::steady_clock::now() < until)
                seen[i] = read(*op);
        });
    }
    op->start();
    plat::RunLoop::current().runUntil([&] { return succeeded.load(); }, 20);
    for (auto& reader : readers)
        reader.join();
    seen.insert(seen.begin(), completed);
    return seen;
}

TEST(FormatOperationThreads, PropertyListAndXmlGettersParseOnceUnderConcurrentReads) {
    // The operations load on a thread of their own: the network layer is set up here first.
    plat::HttpReadStream::initializeNetworking();
    std::string plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><array>";
    std::string xml = "<?xml version=\"1.0\"?><feed>";
    for (int i = 0; i < 2000; ++i) {
        plist += "<string>item " + std::to_string(i) + "</string>";
        xml += "<item id=\"" + std::to_string(i) + "\">ไทย</item>";
    }
    plist += "</array></plist>";
    xml += "</feed>";
    RawHttpServer server([&](const std::string& head, const std::string&) {
        const bool wantsXml = head.find("GET /xml ") == 0;
        return RawHttpServer::Reply{RawHttpServer::ok(
            wantsXml ? xml : plist,
            wantsXml ? "Content-Type: text/xml\r\n" : "Content-Type: application/x-plist\r\n")};
    });
    for (int round = 0; round < 3; ++round) {
        auto list = AFURLConnectionOperation::operationWithRequest<AFPropertyListRequestOperation>(
            plat::UrlRequest(*plat::Url::parse(server.url("/plist"))));
        const auto lists = readWhileTaken(list, [](AFPropertyListRequestOperation& op) {
            return static_cast<const void*>(op.responsePropertyList().object().get());
        });
        ASSERT_TRUE(lists[0]);
        for (const void* seen : lists)
            EXPECT_EQ(seen, lists[0]);
        EXPECT_EQ(list->responsePropertyList().array()->count(), 2000U);

        auto feed = AFURLConnectionOperation::operationWithRequest<AFXMLRequestOperation>(
            plat::UrlRequest(*plat::Url::parse(server.url("/xml"))));
        const auto documents = readWhileTaken(feed, [](AFXMLRequestOperation& op) {
            op.responseXMLParser();
            return static_cast<const void*>(op.responseXMLDocument().get());
        });
        ASSERT_TRUE(documents[1]);
        for (size_t i = 2; i < documents.size(); ++i)
            EXPECT_EQ(documents[i], documents[1]);
        EXPECT_FALSE(feed->error());
    }
}

}  // namespace
