#include "external/ASIDataCompressor.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <memory>
#include <vector>

#include "external/ASIHTTPRequestErrors.h"
#include "platform/storage/InputStream.h"
#include "platform/storage/OutputStream.h"

PLAT_DEFINE_CLASS(ASIDataCompressor, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(ASIDataDecompressor, plat::Object, PLAT_NO_METHODS)

namespace {

// The smallest output buffer, and the smallest step it grows by.
constexpr size_t kMinimumStep = 16 * 1024;
// zlib counts input in 32-bit units: longer pieces go in parts.
constexpr uint64_t kLargestFeed = 1u << 30;

// Output collected in pieces (never moved while the coder writes), joined once at the end; a
// single piece is handed over as it is.
class PieceSink {
  public:
    explicit PieceSink(size_t first) : next_(std::max(first, kMinimumStep)) {}
    // Free room for the coder, at most 4 GiB at a time.
    std::pair<uint8_t*, uInt> room() {
        if (pieces_.empty() || used_ == pieces_.back().size()) {
            if (!pieces_.empty())
                pieces_.back().resize(used_);
            pieces_.emplace_back(next_);
            used_ = 0;
            next_ = std::min(std::max(next_, total_ / 2), size_t{64} << 20);
        }
        return {pieces_.back().data() + used_,
                static_cast<uInt>(std::min<size_t>(pieces_.back().size() - used_, UINT_MAX))};
    }
    void produced(size_t n) {
        used_ += n;
        total_ += n;
    }
    plat::Bytes take() {
        if (pieces_.empty())
            return {};
        pieces_.back().resize(used_);
        if (pieces_.size() == 1)
            return std::move(pieces_.front());
        plat::Bytes out;
        out.reserve(total_);
        for (const plat::Bytes& piece : pieces_)
            out.insert(out.end(), piece.begin(), piece.end());
        return out;
    }

  private:
    std::vector<plat::Bytes> pieces_;
    size_t used_ = 0;  // of the last piece
    size_t next_;
    size_t total_ = 0;
};

// Output written out through one reused buffer whenever it fills (whole-file coding).
class FlushingSink {
  public:
    explicit FlushingSink(std::function<bool(const uint8_t*, size_t)> emit)
        : buffer_(1 << 20), emit_(std::move(emit)) {}
    std::pair<uint8_t*, uInt> room() {
        if (used_ == buffer_.size() && !flush())
            return {nullptr, 0};
        return {buffer_.data() + used_, static_cast<uInt>(buffer_.size() - used_)};
    }
    void produced(size_t n) { used_ += n; }
    bool flush() {
        const bool ok = used_ == 0 || emit_(buffer_.data(), used_);
        used_ = 0;
        return ok;
    }

  private:
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
    std::function<bool(const uint8_t*, size_t)> emit_;
};

// Runs a whole file through a coder, 256 KiB at a time. `step` codes one read (last: a short
// read) into bytes to write; `finish` codes what the end of input leaves (or fails).
template <class Step, class Finish>
bool codeFile(const char* verb, const std::string& sourcePath, const std::string& destinationPath,
              Ref<plat::Error>* error, Step step, Finish finish, const std::function<bool()>& ready,
              const std::function<Ref<plat::Error>()>& close) {
    auto fail = [&](Ref<plat::Error> e) {
        if (error)
            *error = std::move(e);
        return false;
    };
    const int fd = ::open(destinationPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return fail(
            ASIMakeError(ASICompressionError, std::string(verb) + " of " + sourcePath +
                                                  " failed because we were to create a file at " +
                                                  destinationPath));
    }
    ::close(fd);
    std::error_code ec;
    if (!std::filesystem::exists(sourcePath, ec)) {
        return fail(ASIMakeError(ASICompressionError, std::string(verb) + " of " + sourcePath +
                                                          " failed the file does not exist"));
    }
    auto input = plat::InputStream::inputStreamWithFileAtPath(sourcePath);
    auto output = plat::OutputStream::outputStreamToFileAtPath(destinationPath, false);
    input->open();
    output->open();
    auto write = [&](const std::optional<plat::Bytes>& bytes) {
        if (bytes && !bytes->empty())
            output->write(bytes->data(), bytes->size());
        if (output->streamStatus() != plat::Stream::Status::Error)
            return true;
        close();
        return fail(ASIMakeError(ASICompressionError,
                                 std::string(verb) + " of " + sourcePath +
                                     " failed because we were unable to write to the "
                                     "destination data file at " +
                                     destinationPath,
                                 output->streamError()));
    };
    std::vector<uint8_t> buffer(ASIDataCompressor::kFileChunkBytes);
    bool writeFailed = false;
    auto emit = [&](const uint8_t* bytes, size_t n) {
        if (!writeFailed && output->write(bytes, n) != static_cast<int64_t>(n))
            writeFailed = true;
        return !writeFailed;
    };
    while (ready()) {
        const int64_t n = input->read(buffer.data(), buffer.size());
        if (input->streamStatus() == plat::Stream::Status::Error || n < 0) {
            close();
            return fail(ASIMakeError(ASICompressionError,
                                     std::string(verb) + " of " + sourcePath +
                                         " failed because we were unable to read from the "
                                         "source data file",
                                     input->streamError()));
        }
        if (n == 0)
            break;
        Ref<plat::Error> coded;
        auto bytes = step(buffer.data(), static_cast<uint64_t>(n), &coded,
                          static_cast<size_t>(n) < buffer.size(), emit);
        if (writeFailed)
            return write(std::nullopt);
        if (coded) {
            close();
            return fail(coded);
        }
        if (!write(bytes))
            return false;
    }
    Ref<plat::Error> ended;
    auto rest = finish(&ended);
    if (ended) {
        close();
        return fail(ended);
    }
    if (!write(rest))
        return false;
    input->close();
    output->close();
    if (auto closed = close())
        return fail(closed);
    return true;
}

}  // namespace

// ---- Compressor ---------------------------------------------------------------------------------

Ref<ASIDataCompressor> ASIDataCompressor::compressor() {
    auto compressor = std::make_shared<ASIDataCompressor>();
    compressor->setupStream();
    return compressor;
}

ASIDataCompressor::~ASIDataCompressor() {
    if (streamReady_)
        closeStream();
}

Ref<plat::Error> ASIDataCompressor::setupStream() {
    if (streamReady_)
        return nullptr;
    zStream_ = z_stream{};
    zStream_.zalloc = Z_NULL;
    zStream_.zfree = Z_NULL;
    zStream_.opaque = Z_NULL;
    zStream_.next_in = Z_NULL;
    zStream_.avail_in = 0;
    const int status =
        deflateInit2(&zStream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    if (status != Z_OK)
        return deflateErrorWithCode(status);
    streamReady_ = true;
    finished_ = false;
    return nullptr;
}

Ref<plat::Error> ASIDataCompressor::closeStream() {
    if (!streamReady_)
        return nullptr;
    streamReady_ = false;
    const int status = deflateEnd(&zStream_);
    // A stream closed before its end reports Z_DATA_ERROR; that is no failure of the close.
    if (status != Z_OK && status != Z_DATA_ERROR)
        return deflateErrorWithCode(status);
    return nullptr;
}

std::optional<plat::Bytes> ASIDataCompressor::compressBytes(const uint8_t* bytes, uint64_t length,
                                                            Ref<plat::Error>* error,
                                                            bool shouldFinish) {
    if (length == 0)
        return std::nullopt;
    return deflatePiece(bytes, length, shouldFinish, error);
}

std::optional<plat::Bytes> ASIDataCompressor::finishStream(Ref<plat::Error>* error) {
    if (finished_)
        return plat::Bytes{};
    return deflatePiece(nullptr, 0, true, error);
}

std::optional<plat::Bytes> ASIDataCompressor::deflatePiece(const uint8_t* bytes, uint64_t length,
                                                           bool shouldFinish,
                                                           Ref<plat::Error>* error) {
    if (!streamReady_) {
        if (error)
            *error = deflateErrorWithCode(Z_STREAM_ERROR);
        return std::nullopt;
    }
    PieceSink out(static_cast<size_t>(length / 2));
    uint64_t offset = 0;
    do {
        const uint64_t feed = std::min(length - offset, kLargestFeed);
        const bool last = offset + feed == length;
        zStream_.next_in = const_cast<Bytef*>(bytes ? bytes + offset : nullptr);
        zStream_.avail_in = static_cast<uInt>(feed);
        offset += feed;
        const int flush = last && shouldFinish ? Z_FINISH : Z_NO_FLUSH;
        for (;;) {
            const auto [room, size] = out.room();
            zStream_.next_out = room;
            zStream_.avail_out = size;
            const int status = deflate(&zStream_, flush);
            out.produced(size - zStream_.avail_out);
            if (status == Z_STREAM_END) {
                finished_ = true;
                break;
            }
            if (status == Z_BUF_ERROR)
                break;  // nothing more to do with this input
            if (status != Z_OK) {
                if (error)
                    *error = deflateErrorWithCode(status);
                return std::nullopt;
            }
            if (zStream_.avail_out != 0 && flush != Z_FINISH)
                break;
        }
    } while (offset < length);
    return out.take();
}

std::optional<plat::Bytes> ASIDataCompressor::compressData(const plat::Bytes& data,
                                                           Ref<plat::Error>* error) {
    auto compressor = ASIDataCompressor::compressor();
    Ref<plat::Error> failure;
    auto out = compressor->compressBytes(data.data(), data.size(), &failure, true);
    if (failure) {
        if (error)
            *error = failure;
        return std::nullopt;
    }
    return out;
}

bool ASIDataCompressor::compressDataFromFile(const std::string& sourcePath,
                                             const std::string& destinationPath,
                                             Ref<plat::Error>* error) {
    auto compressor = ASIDataCompressor::compressor();
    return codeFile(
        "Compression", sourcePath, destinationPath, error,
        [&](const uint8_t* bytes, uint64_t n, Ref<plat::Error>* e, bool last, auto&) {
            return compressor->compressBytes(bytes, n, e, last);
        },
        [&](Ref<plat::Error>* e) -> std::optional<plat::Bytes> {
            // The end of input fell on a piece boundary (or there was none): finish here.
            return compressor->streamReady() ? compressor->finishStream(e) : std::nullopt;
        },
        [&] { return compressor->streamReady(); }, [&] { return compressor->closeStream(); });
}

Ref<plat::Error> ASIDataCompressor::deflateErrorWithCode(int code) {
    return ASIMakeError(ASICompressionError,
                        "Compression of data failed with code " + std::to_string(code));
}

// ---- Decompressor -------------------------------------------------------------------------------

Ref<ASIDataDecompressor> ASIDataDecompressor::decompressor() {
    auto decompressor = std::make_shared<ASIDataDecompressor>();
    decompressor->setupStream();
    return decompressor;
}

ASIDataDecompressor::~ASIDataDecompressor() {
    if (streamReady_)
        closeStream();
}

Ref<plat::Error> ASIDataDecompressor::setupStream() {
    if (streamReady_)
        return nullptr;
    zStream_ = z_stream{};
    zStream_.zalloc = Z_NULL;
    zStream_.zfree = Z_NULL;
    zStream_.opaque = Z_NULL;
    zStream_.next_in = Z_NULL;
    zStream_.avail_in = 0;
    const int status = inflateInit2(&zStream_, 15 + 32);
    if (status != Z_OK)
        return inflateErrorWithCode(status);
    streamReady_ = true;
    reachedEnd_ = false;
    return nullptr;
}

Ref<plat::Error> ASIDataDecompressor::closeStream() {
    if (!streamReady_)
        return nullptr;
    streamReady_ = false;
    const int status = inflateEnd(&zStream_);
    if (status != Z_OK)
        return inflateErrorWithCode(status);
    return nullptr;
}

std::optional<plat::Bytes> ASIDataDecompressor::uncompressBytes(const uint8_t* bytes,
                                                                uint64_t length,
                                                                Ref<plat::Error>* error) {
    return inflatePiece(bytes, length, error, length + length / 2);
}

bool ASIDataDecompressor::uncompressBytes(const uint8_t* bytes, uint64_t length,
                                          Ref<plat::Error>* error,
                                          const std::function<bool(const uint8_t*, size_t)>& emit) {
    if (length == 0)
        return true;
    FlushingSink sink(emit);
    return inflateInto(bytes, length, error, sink) && sink.flush();
}

bool ASIDataDecompressor::exceedsRatio(uint64_t inflated, uint64_t compressed) {
    return inflated > kRatioFloorBytes && inflated / kMaxInflateRatio > compressed;
}

Ref<plat::Error> ASIDataDecompressor::ratioError() {
    return ASIMakeError(ASICompressionError,
                        "Decompression stopped: the data inflates to more than " +
                            std::to_string(kMaxInflateRatio) + " times its compressed size");
}

template <class Sink>
bool ASIDataDecompressor::inflateInto(const uint8_t* bytes, uint64_t length,
                                      Ref<plat::Error>* error, Sink& out) {
    if (!streamReady_) {
        if (error)
            *error = inflateErrorWithCode(Z_STREAM_ERROR);
        return false;
    }
    uint64_t offset = 0;
    while (offset < length) {
        const uint64_t feed = std::min(length - offset, kLargestFeed);
        zStream_.next_in = const_cast<Bytef*>(bytes + offset);
        zStream_.avail_in = static_cast<uInt>(feed);
        offset += feed;
        // Until this input is used up and nothing is left waiting for output room.
        for (;;) {
            if (reachedEnd_) {
                // Input after the end of a stream begins another (a gzip body of several
                // members): each is inflated in turn, and bytes that begin none fail.
                if (zStream_.avail_in == 0)
                    break;
                const int reset = inflateReset(&zStream_);
                if (reset != Z_OK) {
                    if (error)
                        *error = inflateErrorWithCode(reset);
                    return false;
                }
                reachedEnd_ = false;
            }
            const auto [room, size] = out.room();
            if (!room)
                return false;  // the sink could not take what came before
            zStream_.next_out = room;
            zStream_.avail_out = size;
            const int status = inflate(&zStream_, Z_NO_FLUSH);
            out.produced(size - zStream_.avail_out);
            if (status == Z_STREAM_END) {
                reachedEnd_ = true;
                continue;
            }
            if (status == Z_BUF_ERROR)
                break;  // needs more input
            if (status != Z_OK) {
                if (error)
                    *error = inflateErrorWithCode(status);
                return false;
            }
            if (zStream_.avail_in == 0 && zStream_.avail_out != 0)
                break;
        }
    }
    return true;
}

std::optional<plat::Bytes> ASIDataDecompressor::inflatePiece(const uint8_t* bytes, uint64_t length,
                                                             Ref<plat::Error>* error,
                                                             uint64_t expectedSize) {
    if (length == 0)
        return std::nullopt;
    PieceSink out(static_cast<size_t>(std::min(expectedSize, kLargestFeed)));
    if (!inflateInto(bytes, length, error, out))
        return std::nullopt;
    return out.take();
}

std::optional<plat::Bytes> ASIDataDecompressor::uncompressData(const plat::Bytes& data,
                                                               Ref<plat::Error>* error) {
    auto decompressor = ASIDataDecompressor::decompressor();
    Ref<plat::Error> failure;
    // A whole gzip member ends with its size (modulo 4 GiB): a first guess for the output,
    // trusted no further than deflate's largest ratio.
    uint64_t expected = data.size() + data.size() / 2;
    if (data.size() >= 18 && data[0] == 0x1F && data[1] == 0x8B) {
        const size_t end = data.size();
        const uint64_t stated = uint64_t{data[end - 4]} | uint64_t{data[end - 3]} << 8 |
                                uint64_t{data[end - 2]} << 16 | uint64_t{data[end - 1]} << 24;
        expected = std::min<uint64_t>(std::max(stated, uint64_t{1}), data.size() * 1032);
    }
    auto out = decompressor->inflatePiece(data.data(), data.size(), &failure, expected);
    if (!failure && out && !decompressor->reachedEnd())
        failure = inflateErrorWithCode(Z_BUF_ERROR);  // the data ends before the stream does
    if (failure) {
        if (error)
            *error = failure;
        return std::nullopt;
    }
    return out;
}

bool ASIDataDecompressor::uncompressDataFromFile(const std::string& sourcePath,
                                                 const std::string& destinationPath,
                                                 Ref<plat::Error>* error, bool limitRatio) {
    auto decompressor = ASIDataDecompressor::decompressor();
    std::optional<FlushingSink> sink;
    uint64_t consumed = 0, produced = 0;
    bool tooMuch = false;
    return codeFile(
        "Decompression", sourcePath, destinationPath, error,
        [&](const uint8_t* bytes, uint64_t n, Ref<plat::Error>* e, bool,
            auto& emit) -> std::optional<plat::Bytes> {
            // Inflated straight into one reused buffer that is written out whenever it fills.
            if (!sink) {
                sink.emplace([&](const uint8_t* out, size_t size) {
                    produced += size;
                    tooMuch = limitRatio && exceedsRatio(produced, consumed);
                    return !tooMuch && emit(out, size);
                });
            }
            consumed += n;
            if (decompressor->inflateInto(bytes, n, e, *sink))
                sink->flush();
            if (tooMuch)
                *e = ratioError();
            return std::nullopt;
        },
        [&](Ref<plat::Error>* e) -> std::optional<plat::Bytes> {
            if (!decompressor->reachedEnd())
                *e = inflateErrorWithCode(Z_BUF_ERROR);  // the file ends before the stream does
            return std::nullopt;
        },
        [&] { return decompressor->streamReady(); }, [&] { return decompressor->closeStream(); });
}

Ref<plat::Error> ASIDataDecompressor::inflateErrorWithCode(int code) {
    return ASIMakeError(ASICompressionError,
                        "Decompression of data failed with code " + std::to_string(code));
}
