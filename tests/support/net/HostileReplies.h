#pragma once
// Replies for tests of a client's limits: gzip bodies that inflate far beyond their size, and
// bodies that never end, plain or chunked, for RawHttpServer; and whole compressed bodies.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "support/net/RawHttpServer.h"

namespace net_test {

// Raw deflate data that inflates to `zeros` zero bytes, ending on a byte boundary with the
// dictionary reset, so that copies of it may follow one another in one stream (about 1,028:1).
inline std::string zeroDeflateSegment(size_t zeros) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    // Fed and drained a piece at a time: building the segment costs little memory itself.
    static const std::string kZeros(64 * 1024, '\0');
    std::string out;
    char piece[64 * 1024];
    size_t left = zeros;
    int flush = Z_NO_FLUSH;
    do {
        const size_t feed = std::min(left, kZeros.size());
        left -= feed;
        flush = left == 0 ? Z_FULL_FLUSH : Z_NO_FLUSH;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(kZeros.data()));
        z.avail_in = static_cast<uInt>(feed);
        do {
            z.next_out = reinterpret_cast<Bytef*>(piece);
            z.avail_out = sizeof piece;
            deflate(&z, flush);
            out.append(piece, sizeof piece - z.avail_out);
        } while (z.avail_out == 0);
    } while (left > 0);
    deflateEnd(&z);
    return out;
}

// `data` compressed whole: gzip (windowBits 31), zlib-wrapped (15) or raw deflate (-15).
inline std::string compressedWith(const std::string& data, int windowBits, int level = 6) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline const std::string& gzipHeader() {
    static const std::string header("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10);
    return header;
}

// A gzip body of `segments` copies of the segment, closed with a final block and a trailer
// (whose CRC is not the data's: readers stop before it, or fail at it).
inline std::string gzipBomb(const std::string& segment, int segments) {
    std::string body = gzipHeader();
    for (int i = 0; i < segments; ++i)
        body += segment;
    body += std::string("\x03\x00", 2) + std::string(8, '\0');
    return body;
}

// A reply whose body never ends: `head` (status line and fields, without the blank line), then
// `piece` again and again, as chunks when `chunked`.
inline RawHttpServer::Reply endlessReply(const std::string& head, const std::string& first,
                                         const std::string& piece, bool chunked) {
    const auto frame = [chunked](const std::string& data) {
        if (!chunked)
            return data;
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", data.size());
        return size + data + "\r\n";
    };
    RawHttpServer::Reply reply;
    reply.bytes = head + (chunked ? "Transfer-Encoding: chunked\r\n" : "Connection: close\r\n") +
                  "\r\n" + frame(first);
    reply.close = true;
    const std::string framed = frame(piece);
    reply.more = [framed](std::string& next) {
        next = framed;
        return true;
    };
    return reply;
}

}  // namespace net_test
