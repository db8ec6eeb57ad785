// File and memory streams: reads and writes in pieces, events on the scheduled loop and mode,
// errors as events and statuses.
#include <gtest/gtest.h>

#include <fstream>

#include "ScopedEnvironment.h"
#include "platform/storage/InputStream.h"
#include "platform/storage/OutputStream.h"
#include "support/FileSizeLimit.h"

using plat::InputStream;
using plat::OutputStream;
using plat::RunLoop;
using plat::Stream;

namespace {

const std::string kMode = "StreamTestMode";

TEST(Streams, FilesAndMemoryReadAndWriteInPiecesWithEventsInTheirMode) {
    const auto folder = testing_support::freshTestFolder();
    const auto path = folder / "data.bin";

    // Written in two opens (replace, then append), counted, and kept at the right offset.
    auto out = OutputStream::outputStreamToFileAtPath(path, false);
    std::vector<Stream::Event> writes;
    out->setClient(~0U, [&](Stream&, Stream::Event e) { writes.push_back(e); });
    out->scheduleInRunLoop(RunLoop::current(), kMode);
    ASSERT_TRUE(out->open());
    const std::string first(40'000, 'a');
    EXPECT_EQ(out->write(reinterpret_cast<const uint8_t*>(first.data()), first.size()), 40'000);
    RunLoop::current().runMode(plat::kDefaultRunLoopMode, RunLoop::current().now() + 0.05);
    EXPECT_TRUE(writes.empty());  // not the stream's mode
    RunLoop::current().runMode(kMode, RunLoop::current().now() + 0.05);
    EXPECT_EQ(writes, (std::vector{Stream::OpenCompleted, Stream::HasSpaceAvailable}));
    out->close();
    auto more = OutputStream::outputStreamToFileAtPath(path, true);
    more->open();
    EXPECT_EQ(more->write(reinterpret_cast<const uint8_t*>("tail"), 4), 4);
    EXPECT_EQ(more->currentOffset(), 40'004U);
    more->close();

    // Read back in pieces from its events until the end.
    auto in = InputStream::inputStreamWithFileAtPath(path);
    std::string read;
    std::vector<Stream::Event> reads;
    in->setClient(~0U, [&](Stream& s, Stream::Event e) {
        reads.push_back(e);
        uint8_t buffer[4096];
        if (e == Stream::HasBytesAvailable) {
            const int64_t n = static_cast<InputStream&>(s).read(buffer, sizeof buffer);
            read.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
        }
    });
    in->scheduleInRunLoop(RunLoop::current(), kMode);
    ASSERT_TRUE(in->open());
    RunLoop::current().runMode(kMode, RunLoop::current().now() + 0.05);
    for (int turn = 0; turn < 100 && reads.back() != Stream::EndEncountered; ++turn)
        RunLoop::current().runMode(kMode, RunLoop::current().now() + 0.05);
    EXPECT_EQ(read, first + "tail");
    EXPECT_EQ(in->bytesRead(), 40'004U);
    EXPECT_EQ(reads.front(), Stream::OpenCompleted);
    EXPECT_EQ(reads.back(), Stream::EndEncountered);
    EXPECT_EQ(std::count(reads.begin(), reads.end(), Stream::EndEncountered), 1);

    // Memory both ways; a closed stream reports nothing more.
    auto memory = InputStream::inputStreamWithData({1, 2, 3});
    memory->open();
    uint8_t three[8];
    EXPECT_EQ(memory->read(three, 2), 2);
    EXPECT_EQ(memory->read(three, 8), 1);
    EXPECT_EQ(memory->read(three, 8), 0);
    EXPECT_EQ(memory->streamStatus(), Stream::Status::AtEnd);
    auto sink = OutputStream::outputStreamToMemory();
    sink->open();
    sink->write(three, 1);
    EXPECT_EQ(sink->dataWrittenToMemory(), (plat::Bytes{3}));

    // A missing file and a full disk are errors, as events too.
    auto missing = InputStream::inputStreamWithFileAtPath(folder / "none");
    bool errorEvent = false;
    missing->setClient(Stream::ErrorOccurred, [&](Stream&, Stream::Event) { errorEvent = true; });
    missing->scheduleInRunLoop(RunLoop::current(), kMode);
    EXPECT_FALSE(missing->open());
    RunLoop::current().runMode(kMode, RunLoop::current().now() + 0.05);
    EXPECT_TRUE(errorEvent);
    EXPECT_EQ(missing->streamStatus(), Stream::Status::Error);
    EXPECT_EQ(missing->read(three, 1), -1);
    ASSERT_TRUE(missing->streamError());
    {
        testing_support::ScopedFileSizeLimit limit(1000);
        auto full = OutputStream::outputStreamToFileAtPath(folder / "full.bin", false);
        full->open();
        const std::string big(4000, 'x');
        EXPECT_EQ(full->write(reinterpret_cast<const uint8_t*>(big.data()), big.size()), -1);
        EXPECT_EQ(full->streamStatus(), Stream::Status::Error);
        EXPECT_TRUE(full->streamError());
    }
}

}  // namespace
