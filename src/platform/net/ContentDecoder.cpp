#include "platform/net/ContentDecoder.h"

#include <algorithm>
#include <vector>

#include "platform/net/NetText.h"

namespace plat {

std::unique_ptr<ContentDecoder> ContentDecoder::forContentEncoding(std::string_view value) {
    std::vector<std::string> codings;
    while (!value.empty()) {
        const size_t comma = value.find(',');
        const std::string_view coding = net_text::trim(value.substr(0, comma));
        if (!coding.empty() && !net_text::equalsIgnoringCase(coding, "identity"))
            codings.emplace_back(coding);
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    }
    if (codings.empty())
        return nullptr;
    Coding coding = Coding::Unsupported;
    std::string name = codings.front();
    if (codings.size() == 1 && (net_text::equalsIgnoringCase(name, "gzip") ||
                                net_text::equalsIgnoringCase(name, "x-gzip")))
        coding = Coding::Gzip;
    else if (codings.size() == 1 && net_text::equalsIgnoringCase(name, "deflate"))
        coding = Coding::Deflate;
    for (size_t i = 1; i < codings.size(); ++i)
        name += ", " + codings[i];
    return std::make_unique<ContentDecoder>(Private{}, coding, std::move(name));
}

ContentDecoder::~ContentDecoder() {
    if (ready_)
        inflateEnd(&stream_);
}

bool ContentDecoder::begin(int windowBits) {
    if (inflateInit2(&stream_, windowBits) != Z_OK) {
        failure_ = "the body's decoder could not be set up";
        return false;
    }
    ready_ = true;
    return true;
}

std::optional<size_t> ContentDecoder::decode(const uint8_t* bytes, size_t size,
                                             const Output& output, size_t budget) {
    if (size == 0)
        return 0;
    started_ = true;
    if (!failure_.empty())
        return std::nullopt;
    if (ended_ && coding_ != Coding::Gzip)
        return size;
    switch (coding_) {
        case Coding::Unsupported:
            failure_ = "its content coding (" + name_ + ") cannot be decoded";
            return std::nullopt;
        case Coding::Gzip:
            if (!ready_ && !begin(MAX_WBITS + 16))
                return std::nullopt;
            return inflateSome(bytes, size, output, budget);
        case Coding::Deflate:
            break;
    }
    if (ready_)
        return inflateSome(bytes, size, output, budget);
    // The two first bytes tell a zlib header (a multiple of 31, method 8) from raw deflate data.
    const size_t take = std::min(size, 2 - head_.size());
    head_.append(reinterpret_cast<const char*>(bytes), take);
    if (head_.size() < 2)
        return take;
    const auto b0 = static_cast<uint8_t>(head_[0]);
    const auto b1 = static_cast<uint8_t>(head_[1]);
    const bool wrapped = (b0 & 0x0F) == Z_DEFLATED && (b0 * 256 + b1) % 31 == 0;
    if (!begin(wrapped ? MAX_WBITS : -MAX_WBITS))
        return std::nullopt;
    const std::string head = std::move(head_);
    head_.clear();
    if (!inflateSome(reinterpret_cast<const uint8_t*>(head.data()), head.size(), output, SIZE_MAX))
        return std::nullopt;
    const auto rest = inflateSome(bytes + take, size - take, output, budget);
    return rest ? std::optional<size_t>(take + *rest) : std::nullopt;
}

std::optional<size_t> ContentDecoder::inflateSome(const uint8_t* bytes, size_t size,
                                                  const Output& output, size_t budget) {
    uint8_t piece[16 * 1024];
    stream_.next_in = const_cast<Bytef*>(bytes);
    stream_.avail_in = static_cast<uInt>(size);
    size_t given = 0;
    for (;;) {
        if (ended_) {
            // A gzip body may hold several members, one after another: each is decoded. What
            // follows the end of a deflate stream is ignored.
            if (coding_ != Coding::Gzip || stream_.avail_in == 0)
                break;
            if (inflateReset(&stream_) != Z_OK) {
                failure_ = "the body's decoder could not be set up";
                return std::nullopt;
            }
            ended_ = false;
        }
        stream_.next_out = piece;
        stream_.avail_out = sizeof piece;
        const int status = inflate(&stream_, Z_NO_FLUSH);
        const size_t produced = sizeof piece - stream_.avail_out;
        if (produced > 0)
            output(piece, produced);
        given += produced;
        if (status == Z_STREAM_END) {
            ended_ = true;
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            failure_ = "its " + name_ + " body is corrupt" +
                       (stream_.msg ? std::string(" (") + stream_.msg + ")" : std::string());
            return std::nullopt;
        } else if (status == Z_BUF_ERROR || (stream_.avail_in == 0 && stream_.avail_out != 0)) {
            break;  // all taken; the rest of the stream is still to come
        } else if (given >= budget && stream_.avail_in > 0) {
            break;  // enough for now: the bytes not taken come again
        }
    }
    // After the end, what follows the stream is taken and ignored.
    return ended_ ? size : size - stream_.avail_in;
}

}  // namespace plat
