// HTTP read streams over loopback: bodies, events and their modes, connection reuse, broken
// replies, TLS and a forward proxy.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/net/HttpReadStream.h"
#include "platform/storage/ScopedEnvironment.h"
#include "support/net/RawHttpServer.h"

using net_test::RawHttpServer;
using plat::HttpMessage;
using plat::HttpReadStream;
using plat::RunLoop;
using plat::Stream;
using plat::Url;

namespace {

const std::string kMode = "TestStreamMode";

// Runs a stream in kMode to its end, reading everything; records the events.
struct Outcome {
    std::vector<Stream::Event> events;
    std::string body;
    Ref<plat::Error> error;
};

Outcome run(const Ref<HttpReadStream>& stream, double timeout = 10) {
    Outcome outcome;
    bool done = false;
    stream->setClient(
        Stream::OpenCompleted | Stream::HasBytesAvailable | Stream::ErrorOccurred |
            Stream::EndEncountered,
        [&](Stream& s, Stream::Event event) {
            outcome.events.push_back(event);
            if (event == Stream::HasBytesAvailable) {
                uint8_t buffer[16384];
                const int64_t n = static_cast<HttpReadStream&>(s).read(buffer, sizeof buffer);
                if (n > 0)
                    outcome.body.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
            }
            if (event == Stream::ErrorOccurred) {
                outcome.error = s.streamError();
                done = true;
            }
            done = done || event == Stream::EndEncountered;
        });
    stream->scheduleInRunLoop(RunLoop::current(), kMode);
    if (stream->streamStatus() == Stream::Status::NotOpen)
        stream->open();
    const double until = RunLoop::current().now() + timeout;
    while (!done && RunLoop::current().now() < until)
        RunLoop::current().runMode(kMode, RunLoop::current().now() + 0.05);
    stream->close();
    return outcome;
}

Ref<HttpReadStream> get(const std::string& url, bool persistent = false) {
    auto stream = HttpReadStream::make(HttpMessage::request("GET", *Url::parse(url)));
    stream->setAttemptPersistentConnection(persistent);
    return stream;
}

RawHttpServer::Reply echo(const std::string& head, const std::string& body) {
    const std::string line = head.substr(0, head.find("\r\n"));
    return {RawHttpServer::ok(line + "\n" + body, "ETag: \"v1\"\r\nx-two: a\r\nX-Two: b\r\n")};
}

TEST(HttpReadStream, BodiesGoOutAndComeBackWithEventsInTheScheduledModeOnly) {
    RawHttpServer server(echo);

    // A memory body with its length: nothing happens in another mode; then the events in order.
    auto request = HttpMessage::request("POST", *Url::parse(server.url("/memory")));
    request.setHeaderFieldValue("Content-Length", "11");
    request.setBody(plat::Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
    auto stream = HttpReadStream::make(request);
    std::vector<Stream::Event> early;
    stream->setClient(~0U, [&](Stream&, Stream::Event e) { early.push_back(e); });
    stream->scheduleInRunLoop(RunLoop::current(), kMode);
    ASSERT_TRUE(stream->open());
    RunLoop::current().runUntil([&] { return stream->bytesWaiting() > 0; }, 5);
    EXPECT_TRUE(early.empty());
    const Outcome memory = run(stream);
    ASSERT_FALSE(memory.error);
    EXPECT_EQ(memory.events.front(), Stream::OpenCompleted);
    EXPECT_EQ(memory.events.back(), Stream::EndEncountered);
    EXPECT_EQ(memory.body, "POST /memory HTTP/1.1\nhello world");
    EXPECT_EQ(stream->requestBytesWritten(), 11U);
    const auto head = stream->responseHeader();
    ASSERT_TRUE(head);
    EXPECT_EQ(head->statusCode(), 200);
    EXPECT_EQ(head->statusLine(), "HTTP/1.1 200 OK");
    EXPECT_EQ(head->headerFieldValue("Etag"), "\"v1\"");
    EXPECT_EQ(head->headerFieldValue("X-Two"), "a, b");
    ASSERT_EQ(head->rawFields().size(), 4U);
    EXPECT_EQ(head->rawFields()[1].first, "Etag");  // names canonicalised
    EXPECT_EQ(head->rawFields()[2].first, "X-Two");

    // A file body of unknown length goes out in chunks, byte-exact.
    const auto path = testing_support::freshTestFolder() / "body.bin";
    std::string content(300'000, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 % 251);
    std::ofstream(path, std::ios::binary) << content;
    auto upload =
        HttpReadStream::make(HttpMessage::request("PUT", *Url::parse(server.url("/file"))),
                             plat::InputStream::inputStreamWithFileAtPath(path));
    const Outcome file = run(upload);
    ASSERT_FALSE(file.error);
    EXPECT_EQ(file.body, "PUT /file HTTP/1.1\n" + content);
    EXPECT_EQ(upload->requestBytesWritten(), content.size());
    EXPECT_NE(server.heads().back().find("Transfer-Encoding: chunked"), std::string::npos);

    // Closed after its head: no event follows, though the body keeps coming.
    RawHttpServer big([](const std::string&, const std::string&) {
        return RawHttpServer::Reply{RawHttpServer::ok(std::string(4'000'000, 'x'))};
    });
    auto closing = get(big.url("/big"));
    int after = 0;
    bool closed = false;
    closing->setClient(~0U, [&](Stream& s, Stream::Event) {
        if (closed)
            ++after;
        s.close();
        closed = true;
    });
    closing->scheduleInRunLoop(RunLoop::current(), kMode);
    closing->open();
    EXPECT_TRUE(RunLoop::current().runUntil([&] { return closed; }, 10, kMode));
    RunLoop::current().runUntil([] { return false; }, 0.2, kMode);
    EXPECT_EQ(after, 0);

    // A reader that falls behind pauses the transfer before more than 1 MiB waits.
    auto slow = get(big.url("/big"));
    slow->setClient(Stream::EndEncountered, [](Stream&, Stream::Event) {});
    slow->scheduleInRunLoop(RunLoop::current(), kMode);
    slow->open();
    RunLoop::current().runUntil(
        [&] {
            return slow->bytesWaiting() >
                   HttpReadStream::kMaxWaitingBytes - HttpReadStream::kPieceBytes;
        },
        5);
    RunLoop::current().runUntil([] { return false; }, 0.3);
    EXPECT_GT(slow->bytesWaiting(), HttpReadStream::kMaxWaitingBytes - HttpReadStream::kPieceBytes);
    EXPECT_LE(slow->bytesWaiting(), HttpReadStream::kMaxWaitingBytes);
    const Outcome rest = run(slow);
    EXPECT_EQ(slow->bytesRead(), 4'000'000U);
    EXPECT_FALSE(rest.error);
}

TEST(HttpReadStream, PersistentStreamsShareAConnectionAndOthersDoNot) {
    RawHttpServer server(echo);
    for (bool persistent : {true, false}) {
        SCOPED_TRACE(persistent);
        const size_t before = server.connections();
        auto first = get(server.url("/one"), persistent);
        EXPECT_FALSE(run(first).error);
        auto second = get(server.url("/two"), persistent);
        EXPECT_FALSE(run(second).error);
        EXPECT_EQ(server.connections() - before, persistent ? 1U : 2U);
        EXPECT_EQ(second->reusedConnection(), persistent);
    }

    // A server that answers in HTTP/1.0, its body ending with the connection.
    RawHttpServer old([](const std::string&, const std::string&) {
        return RawHttpServer::Reply{"HTTP/1.0 200 OK\r\n\r\nold body", true};
    });
    auto legacy =
        HttpReadStream::make(HttpMessage::request("GET", *Url::parse(old.url("/")), "HTTP/1.0"));
    const Outcome outcome = run(legacy);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.body, "old body");
    EXPECT_EQ(legacy->responseHeader()->version(), "HTTP/1.0");
    EXPECT_NE(old.heads().front().find("GET / HTTP/1.0"), std::string::npos);
}

TEST(HttpReadStream, ShortBodiesAndBrokenHeadsAreClearErrors) {
    const std::vector<std::pair<std::string, int64_t>> replies = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten..", -1005},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", -1005},
        {"HTTQ/1.1 200 OK\r\n\r\n", 303},
        {"HTTP/1.1 2000 OK\r\n\r\n", 303},
        {"HTTP/1.1 200 OK\r\nNo colon here\r\n\r\n", 303},
        {std::string("HTTP/1.1 200 OK\r\nX-Nul: a\0b\r\n\r\n", 32), 303},
        {"HTTP/1.1 200 OK\r\nX-Big: " + std::string(1 << 20, 'a') + "\r\n\r\n", 303},
        {[] {
             std::string head = "HTTP/1.1 200 OK\r\n";
             for (int i = 0; i < 10'000; ++i)
                 head += "X-" + std::to_string(i) + ": v\r\n";
             return head + "\r\n";
         }(),
         303},
    };
    for (const auto& [bytes, code] : replies) {
        SCOPED_TRACE(bytes.substr(0, 40));
        RawHttpServer server([&bytes = bytes](const std::string&, const std::string&) {
            return RawHttpServer::Reply{bytes, true};
        });
        auto stream = get(server.url("/"));
        const Outcome outcome = run(stream);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->code(), code) << outcome.error->description();
        EXPECT_EQ(outcome.error->domain(), plat::kCFErrorDomainCFNetwork);
        EXPECT_EQ(stream->streamStatus(), Stream::Status::Closed);
        if (code == -1005) {
            EXPECT_FALSE(outcome.body.empty());  // what came is read before the error
        }
    }
}

TEST(HttpReadStream, SelfSignedTlsFailsUnlessValidationIsOffAndProxiesCarryRequests) {
    RawHttpServer secure(echo, /*tls=*/true);
    const Outcome refused = run(get(secure.url("/s")));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->domain(), plat::NSOSStatusErrorDomain);
    EXPECT_GE(refused.error->code(), -9818);
    EXPECT_LE(refused.error->code(), -9800);
    auto lenient = get(secure.url("/s"));
    lenient->setTlsSettings({.validatesCertificateChain = false});
    const Outcome accepted = run(lenient);
    EXPECT_FALSE(accepted.error);
    EXPECT_EQ(accepted.body, "GET /s HTTP/1.1\n");

    RawHttpServer origin(echo);
    net_test::ForwardProxy proxy;
    auto proxied = get(origin.url("/via"));
    proxied->setHttpProxy({"127.0.0.1", proxy.port()});
    const Outcome outcome = run(proxied);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.body, "GET /via HTTP/1.1\n");
    ASSERT_EQ(proxy.requestLines().size(), 1U);
    EXPECT_EQ(proxy.requestLines()[0], "GET " + origin.url("/via") + " HTTP/1.1");

    // A refused connection is an error, not an end.
    const Outcome nobody = run(get("http://127.0.0.1:1/"));
    ASSERT_TRUE(nobody.error);
}

}  // namespace
