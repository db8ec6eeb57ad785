#pragma once
// ASIDataCompressor and ASIDataDecompressor: one zlib stream each, fed in pieces (gzip out;
// gzip or zlib in), plus one-shot operations on a whole buffer and on a whole file (read in
// 256 KiB pieces, written as they come). Errors are code 11 of the engine's domain.
// - A file whose end falls on a piece boundary (or an empty file) still gets its gzip trailer.
// - Output buffers start at 16 KiB at least and grow by at least that (and by half their size),
//   so tiny pieces work and large ones grow in few steps.
// - Whole buffers and files that end before the compressed stream does fail ("... code -5");
//   reachedEnd() tells a piece-by-piece caller whether the stream ended.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <zlib.h>

#include "platform/core/Error.h"
#include "platform/core/Object.h"
#include "platform/core/Value.h"

class ASIDataCompressor : public plat::Object {
    PLAT_CLASS(ASIDataCompressor)
  public:
    static constexpr size_t kFileChunkBytes = 262'144;

    // A new compressor with its stream set up (an error leaves it not ready).
    static Ref<ASIDataCompressor> compressor();
    ASIDataCompressor() = default;
    ~ASIDataCompressor() override;

    Ref<plat::Error> setupStream();
    Ref<plat::Error> closeStream();
    bool streamReady() const { return streamReady_; }
    // The gzip bytes this piece produces; none for an empty piece or on an error.
    std::optional<plat::Bytes> compressBytes(const uint8_t* bytes, uint64_t length,
                                             Ref<plat::Error>* error, bool shouldFinish);
    // Ends the stream when no piece finished it: the bytes still due (the trailer).
    std::optional<plat::Bytes> finishStream(Ref<plat::Error>* error);
    bool finished() const { return finished_; }

    static std::optional<plat::Bytes> compressData(const plat::Bytes& data,
                                                   Ref<plat::Error>* error);
    static bool compressDataFromFile(const std::string& sourcePath,
                                     const std::string& destinationPath, Ref<plat::Error>* error);
    static Ref<plat::Error> deflateErrorWithCode(int code);

  private:
    std::optional<plat::Bytes> deflatePiece(const uint8_t* bytes, uint64_t length,
                                            bool shouldFinish, Ref<plat::Error>* error);

    z_stream zStream_{};
    bool streamReady_ = false;
    bool finished_ = false;
};

class ASIDataDecompressor : public plat::Object {
    PLAT_CLASS(ASIDataDecompressor)
  public:
    static Ref<ASIDataDecompressor> decompressor();
    ASIDataDecompressor() = default;
    ~ASIDataDecompressor() override;

    Ref<plat::Error> setupStream();
    Ref<plat::Error> closeStream();
    bool streamReady() const { return streamReady_; }
    // The bytes this piece inflates to; none for an empty piece or on an error.
    std::optional<plat::Bytes> uncompressBytes(const uint8_t* bytes, uint64_t length,
                                               Ref<plat::Error>* error);
    // The same, handing the output on as it comes in pieces of at most 1 MiB, none of it held:
    // false on an error, or when `emit` answers false (it knows why).
    bool uncompressBytes(const uint8_t* bytes, uint64_t length, Ref<plat::Error>* error,
                         const std::function<bool(const uint8_t*, size_t)>& emit);
    // Whether the compressed stream has ended (its last member so far: input after the end of
    // one begins another, and input that begins none fails).
    bool reachedEnd() const { return reachedEnd_; }

    // Deflate cannot inflate much past 1032:1: more is a bomb, not data.
    static constexpr uint64_t kMaxInflateRatio = 1000;
    static constexpr uint64_t kRatioFloorBytes = 1 << 20;
    // Whether `inflated` bytes out of `compressed` pass that ratio (small outputs never do).
    static bool exceedsRatio(uint64_t inflated, uint64_t compressed);
    static Ref<plat::Error> ratioError();

    static std::optional<plat::Bytes> uncompressData(const plat::Bytes& data,
                                                     Ref<plat::Error>* error);
    // limitRatio: inflating stops with ratioError() past kMaxInflateRatio.
    static bool uncompressDataFromFile(const std::string& sourcePath,
                                       const std::string& destinationPath, Ref<plat::Error>* error,
                                       bool limitRatio = false);
    static Ref<plat::Error> inflateErrorWithCode(int code);

  private:
    std::optional<plat::Bytes> inflatePiece(const uint8_t* bytes, uint64_t length,
                                            Ref<plat::Error>* error, uint64_t expectedSize);
    // Inflates into a sink that offers room (room(), produced()); false on an error.
    template <class Sink>
    bool inflateInto(const uint8_t* bytes, uint64_t length, Ref<plat::Error>* error, Sink& out);

    z_stream zStream_{};
    bool streamReady_ = false;
    bool reachedEnd_ = false;
};
