// Multipart bodies byte by byte: the exact layout and length, reads of any size, copies, the
// throttle, and bodies that cannot be sent whole failing instead of going out short.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "auxiliary/http/AFStreamingMultipartFormData.h"
#include "external/AFHTTPRequestOperation.h"
#include "platform/storage/ScopedEnvironment.h"

namespace {

plat::Bytes bytesOfText(const std::string& text) {
    return plat::Bytes(text.begin(), text.end());
}

// Everything the stream gives, read `chunk` bytes at a time; nothing when it fails.
std::optional<std::string> drain(plat::InputStream& stream, size_t chunk = 65536) {
    stream.open();
    std::string out;
    std::vector<uint8_t> buffer(chunk);
    for (;;) {
        const int64_t n = stream.read(buffer.data(), buffer.size());
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return out;
        out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(n));
    }
}

plat::UrlRequest finalized(AFStreamingMultipartFormData& form) {
    return form.requestByFinalizingMultipartFormData();
}

AFStreamingMultipartFormData builder() {
    return AFStreamingMultipartFormData(plat::UrlRequest(*plat::Url::parse("http://h.test/up")), 4);
}

TEST(MultipartBody, LayoutAndLengthAreExactWhateverTheReadSize) {
    auto one = builder();
    one.appendPartWithFormData(bytesOfText("1"), "a");
    const auto request = finalized(one);
    EXPECT_EQ(request.valueForHttpHeaderField("Content-Length"), "109");
    EXPECT_EQ(request.valueForHttpHeaderField("Content-Type"),
              "multipart/form-data; boundary=Boundary+0xAbCdEfGbOuNdArY");
    const std::string expected =
        "--Boundary+0xAbCdEfGbOuNdArY\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1"
        "\r\n--Boundary+0xAbCdEfGbOuNdArY--\r\n";
    ASSERT_EQ(expected.size(), 109U);
    EXPECT_EQ(drain(*request.httpBodyStream()), expected);

    auto two = builder();
    two.appendPartWithFormData(bytesOfText("1"), "a");
    two.appendPartWithFormData(bytesOfText("2"), "b");
    two.appendPartWithFileData({}, "empty", "e.bin", "application/octet-stream");
    const auto both = finalized(two);
    const auto whole = drain(*both.httpBodyStream());
    ASSERT_TRUE(whole);
    EXPECT_EQ(std::to_string(whole->size()), both.valueForHttpHeaderField("Content-Length"));
    EXPECT_NE(whole->find("1\r\n--Boundary+0xAbCdEfGbOuNdArY\r\nContent-Disposition: form-data; "
                          "name=\"b\"\r\n\r\n2\r\n--"),
              std::string::npos);
    // An empty body: headers, then the closing boundary at once.
    EXPECT_NE(whole->find("application/octet-stream\r\n\r\n\r\n--Boundary+0xAbCdEfGbOuNdArY--\r\n"),
              std::string::npos);
    // The two-field body alone is 186 bytes.
    auto pair = builder();
    pair.appendPartWithFormData(bytesOfText("1"), "a");
    pair.appendPartWithFormData(bytesOfText("2"), "b");
    EXPECT_EQ(finalized(pair).valueForHttpHeaderField("Content-Length"), "186");

    // One byte at a time gives the same bytes; a copy read halfway starts again from the start.
    const auto copy = both.httpBodyStream()->copyStream();
    ASSERT_TRUE(copy);
    EXPECT_EQ(drain(*copy, 1), whole);
    const auto half = copy->copyStream();
    half->open();
    uint8_t some[40];
    EXPECT_EQ(half->read(some, sizeof some), 40);
    EXPECT_EQ(drain(*half->copyStream(), 7), whole);

    // No part: the request is left alone. Reading before open or after close gives nothing.
    auto none = builder();
    const auto untouched = finalized(none);
    EXPECT_FALSE(untouched.httpBodyStream());
    EXPECT_FALSE(untouched.valueForHttpHeaderField("Content-Type"));
    auto stream = AFMultipartBodyStream::make(4);
    EXPECT_EQ(stream->read(some, sizeof some), 0);
    stream->open();
    stream->open();  // no restart
    stream->close();
    EXPECT_EQ(stream->read(some, sizeof some), 0);
    EXPECT_EQ(AFContentTypeForPathExtension("nosuchextension"), "application/octet-stream");
}

TEST(MultipartBody, FilesThrottlingAndBodiesThatCannotBeSentWhole) {
    const auto folder = testing_support::freshTestFolder();
    const auto path = folder / "cover one.jpg";
    std::ofstream(path, std::ios::binary) << std::string(50000, 'f');
    auto form = builder();
    Ref<plat::Error> error;
    ASSERT_TRUE(form.appendPartWithFileURL(
        *plat::Url::parse("file://" + (folder / "cover%20one.jpg").string()), "cover", &error));
    form.appendPartWithFileData(std::vector<uint8_t>(20000, 'd'), "data", "d.bin", "x/y");
    form.throttleBandwidthWithPacketSize(kAFUploadStream3GSuggestedPacketSize, 0.05);
    const auto request = finalized(form);
    auto body = request.httpBodyStream();
    body->open();
    std::vector<uint8_t> buffer(200000);
    const auto started = std::chrono::steady_clock::now();
    const int64_t first = body->read(buffer.data(), buffer.size());
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(50));
    const std::string firstText(reinterpret_cast<char*>(buffer.data()), static_cast<size_t>(first));
    // The file part alone: the packet size stops further parts in the same read.
    EXPECT_NE(firstText.find("filename=\"cover one.jpg\"\r\nContent-Type: image/jpeg"),
              std::string::npos);
    EXPECT_EQ(firstText.find("name=\"data\""), std::string::npos);
    EXPECT_GT(first, 50000);

    // Refusals: not a file URL, not there, no size to announce (a folder).
    auto refusals = builder();
    EXPECT_FALSE(
        refusals.appendPartWithFileURL(*plat::Url::parse("http://h.test/x.jpg"), "x", &error));
    EXPECT_EQ(error->code(), -1000);
    EXPECT_EQ(*error->userInfo()->objectForKey("NSLocalizedFailureReason").string(),
              "Expected URL to be a file URL");
    EXPECT_FALSE(
        refusals.appendPartWithFileURL(*plat::Url::parse("file:///no/such/file"), "x", &error));
    EXPECT_EQ(*error->userInfo()->objectForKey("NSLocalizedFailureReason").string(),
              "File URL not reachable.");
    EXPECT_FALSE(refusals.appendPartWithFileURL(*plat::Url::parse("file://" + folder.string()), "x",
                                                &error));
    EXPECT_TRUE(refusals.bodyStream()->isEmpty());

    // A file that is gone, or shorter than announced, by the time it is read: the stream fails.
    for (bool remove : {true, false}) {
        const auto file = folder / "later.bin";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(1000, 'l');
        auto later = builder();
        ASSERT_TRUE(
            later.appendPartWithFileURL(*plat::Url::parse("file://" + file.string()), "l", &error));
        if (remove) {
            std::filesystem::remove(file);
        } else {
            std::filesystem::resize_file(file, 10);
        }
        const auto stream = finalized(later).httpBodyStream();
        EXPECT_FALSE(drain(*stream));
        EXPECT_EQ(stream->streamStatus(), plat::Stream::Status::Error);
        EXPECT_TRUE(stream->streamError());
    }

    // A caller's stream: sent once, never copied; one that fails is not counted as sent.
    class Failing : public plat::InputStream {
      public:
        bool open() override {
            setStatus(Status::Open);
            return true;
        }
        int64_t read(uint8_t*, size_t) override {
            setError(plat::Error::withDescription("test", 5, "read failed"));
            return -1;
        }
        bool hasBytesAvailable() const override { return streamStatus() == Status::Open; }
        Event pendingEvent() override { return None; }
    };
    auto caller = builder();
    caller.appendPartWithInputStream(std::make_shared<Failing>(), "s", "s.bin", 10, "x/y");
    const auto callerBody = finalized(caller).httpBodyStream();
    EXPECT_FALSE(callerBody->copyStream());
    EXPECT_FALSE(drain(*callerBody));
    EXPECT_EQ(callerBody->streamError()->localizedDescription(), "read failed");
}

}  // namespace
