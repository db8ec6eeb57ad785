#include "auxiliary/http/EncodingCategories.h"

#include "platform/crypto/Base64.h"
#include "platform/crypto/Digest.h"

#include <array>
#include <mutex>

#include "platform/crypto/Uuid.h"

namespace {

int sixBitValue(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

plat::Bytes initWithBase64EncodedString(const std::optional<std::string>& text) {
    plat::Bytes out;
    if (!text)
        return out;
    for (unsigned char c : *text) {
        if (c > 0x7F)
            return {};  // not ASCII: no bytes at all
    }
    out.reserve(text->size());
    std::array<int, 4> slot{};
    int filled = 0;
    for (unsigned char c : *text) {
        if (c == '=') {
            // A missing slot counts as 0.
            for (int i = filled; i < 4; ++i)
                slot[static_cast<size_t>(i)] = 0;
            if (filled >= 1)
                out.push_back(static_cast<uint8_t>((slot[0] << 2) | ((slot[1] & 0x30) >> 4)));
            if (filled == 3)
                out.push_back(
                    static_cast<uint8_t>(((slot[1] & 0x0F) << 4) | ((slot[2] & 0x3C) >> 2)));
            return out;
        }
        const int value = sixBitValue(c);
        if (value < 0)
            continue;
        slot[static_cast<size_t>(filled++)] = value;
        if (filled == 4) {
            out.push_back(static_cast<uint8_t>((slot[0] << 2) | ((slot[1] & 0x30) >> 4)));
            out.push_back(static_cast<uint8_t>(((slot[1] & 0x0F) << 4) | ((slot[2] & 0x3C) >> 2)));
            out.push_back(static_cast<uint8_t>(((slot[2] & 0x03) << 6) | (slot[3] & 0x3F)));
            filled = 0;
        }
    }
    return out;  // a partly filled last group is dropped
}

std::string base64Encoding(const plat::Bytes& data) {
    return base64EncodingWithLineLength(data, 0);
}

std::string base64EncodingWithLineLength(const plat::Bytes& data, uint32_t lineLength) {
    const std::string plain = plat::Base64::encode(data);
    // A line ends after the first whole group of four that reaches the length; the column
    // counter is 16 bits wide, so lengths beyond 65,532 never end a line.
    const size_t step = (static_cast<size_t>(lineLength) + 3) / 4 * 4;
    if (lineLength == 0 || step > 65532)
        return plain;
    std::string out;
    out.reserve(plain.size() + plain.size() / step + 1);
    for (size_t at = 0; at < plain.size(); at += step) {
        out.append(plain, at, step);
        if (at + step <= plain.size())
            out += '\n';
    }
    return out;
}

std::string base16Encoding(const plat::Bytes& data) {
    return plat::Digest::hex(data);
}

std::string stringWithNewUUID() {
    return plat::Uuid::createString();
}

Ref<plat::OperationQueue> sharedOperationQueue() {
    static const Ref<plat::OperationQueue> queue = plat::OperationQueue::make();
    return queue;
}
