#include "external/ASIDataCompressor.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
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
                          static_cast<size_t>(n) < buffer.size());
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
    const size_t step = std::max<size_t>(static_cast<size_t>(length / 2), kMinimumStep);
    plat::Bytes out(step);
    size_t produced = 0;
    uint64_t offset = 0;
    do {
        const uint64_t feed = std::min(length - offset, kLargestFeed);
        const bool last = offset + feed == length;
        zStream_.next_in = const_cast<Bytef*>(bytes ? bytes + offset : nullptr);
        zStream_.avail_in = static_cast<uInt>(feed);
        offset += feed;
        const int flush = last && shouldFinish ? Z_FINISH : Z_NO_FLUSH;
        for (;;) {
            if (produced == out.size())
                out.resize(out.size() + step);
            zStream_.next_out = out.data() + produced;
            zStream_.avail_out =
                static_cast<uInt>(std::min<size_t>(out.size() - produced, UINT_MAX));
            const int status = deflate(&zStream_, flush);
            produced = static_cast<size_t>(zStream_.next_out - out.data());
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
    out.resize(produced);
    return out;
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
        [&](const uint8_t* bytes, uint64_t n, Ref<plat::Error>* e, bool last) {
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
    if (length == 0)
        return std::nullopt;
    if (!streamReady_) {
        if (error)
            *error = inflateErrorWithCode(Z_STREAM_ERROR);
        return std::nullopt;
    }
    const size_t step = std::max<size_t>(static_cast<size_t>(length / 2), kMinimumStep);
    plat::Bytes out(static_cast<size_t>(std::min<uint64_t>(length, kLargestFeed)) + step);
    size_t produced = 0;
    uint64_t offset = 0;
    while (offset < length && !reachedEnd_) {
        const uint64_t feed = std::min(length - offset, kLargestFeed);
        zStream_.next_in = const_cast<Bytef*>(bytes + offset);
        zStream_.avail_in = static_cast<uInt>(feed);
        offset += feed;
        // Until this input is used up and nothing is left waiting for output room.
        for (;;) {
            if (produced == out.size())
                out.resize(out.size() + step);
            zStream_.next_out = out.data() + produced;
            zStream_.avail_out =
                static_cast<uInt>(std::min<size_t>(out.size() - produced, UINT_MAX));
            const int status = inflate(&zStream_, Z_NO_FLUSH);
            produced = static_cast<size_t>(zStream_.next_out - out.data());
            if (status == Z_STREAM_END) {
                reachedEnd_ = true;
                break;
            }
            if (status == Z_BUF_ERROR)
                break;  // needs more input
            if (status != Z_OK) {
                if (error)
                    *error = inflateErrorWithCode(status);
                return std::nullopt;
            }
            if (zStream_.avail_in == 0 && zStream_.avail_out != 0)
                break;
        }
    }
    out.resize(produced);
    return out;
}

std::optional<plat::Bytes> ASIDataDecompressor::uncompressData(const plat::Bytes& data,
                                                               Ref<plat::Error>* error) {
    auto decompressor = ASIDataDecompressor::decompressor();
    Ref<plat::Error> failure;
    auto out = decompressor->uncompressBytes(data.data(), data.size(), &failure);
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
                                                 Ref<plat::Error>* error) {
    auto decompressor = ASIDataDecompressor::decompressor();
    return codeFile(
        "Decompression", sourcePath, destinationPath, error,
        [&](const uint8_t* bytes, uint64_t n, Ref<plat::Error>* e, bool) {
            return decompressor->uncompressBytes(bytes, n, e);
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
