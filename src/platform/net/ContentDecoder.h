#pragma once
// plat::ContentDecoder (internal to the networking layer): undoes a response's Content-Encoding as
// the body arrives. gzip (also "x-gzip") and deflate (zlib-wrapped or raw) are read; any other
// coding fails at the first body byte, so that a body-less reply still passes. The owner asks
// at the end whether a stream that began also ended: a cut compressed body is a failure, never a
// shorter success.
#include <zlib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

class ContentDecoder {
  public:
    using Output = std::function<void(const uint8_t* bytes, size_t size)>;

    // The decoder for a Content-Encoding value; none when nothing is to be undone (no value, or
    // only "identity").
    static std::unique_ptr<ContentDecoder> forContentEncoding(std::string_view value);
    ~ContentDecoder();
    ContentDecoder(const ContentDecoder&) = delete;
    ContentDecoder& operator=(const ContentDecoder&) = delete;

    // Decodes the next body bytes, handing the output on in pieces of at most 16 KiB, until
    // they are used up or at least `budget` bytes came out. Answers how many of the bytes it
    // took (the rest is for a later call), or nothing on an error (failure() says why). A gzip
    // body of several members is decoded member after member (bytes after a member that do not
    // begin another fail); bytes after the end of a deflate stream are taken and ignored.
    std::optional<size_t> decode(const uint8_t* bytes, size_t size, const Output& output,
                                 size_t budget = SIZE_MAX);
    // Whether body bytes came, and whether the compressed stream (its last member so far)
    // reached its end.
    bool started() const { return started_; }
    bool ended() const { return ended_; }
    const std::string& failure() const { return failure_; }

    enum class Coding { Gzip, Deflate, Unsupported };
    struct Private {};
    ContentDecoder(Private, Coding coding, std::string name)
        : coding_(coding), name_(std::move(name)) {}

  private:
    bool begin(int windowBits);
    std::optional<size_t> inflateSome(const uint8_t* bytes, size_t size, const Output& output,
                                      size_t budget);

    Coding coding_;
    std::string name_;
    z_stream stream_{};
    bool ready_ = false;
    bool started_ = false;
    bool ended_ = false;
    std::string head_;  // deflate: the first bytes, until they say whether zlib wraps the stream
    std::string failure_;
};

}  // namespace plat
