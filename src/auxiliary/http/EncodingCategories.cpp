#include "auxiliary/http/EncodingCategories.h"

#include <array>
#include <mutex>

#include "platform/crypto/Uuid.h"

namespace {

constexpr char kEncodingTable[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

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
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4 + (lineLength ? data.size() / lineLength + 1 : 0));
    uint16_t onLine = 0;
    for (size_t i = 0; i < data.size(); i += 3) {
        const size_t left = data.size() - i;
        const uint8_t b0 = data[i];
        const uint8_t b1 = left > 1 ? data[i + 1] : 0;
        const uint8_t b2 = left > 2 ? data[i + 2] : 0;
        out += kEncodingTable[b0 >> 2];
        out += kEncodingTable[((b0 & 3) << 4) | (b1 >> 4)];
        out += left > 1 ? kEncodingTable[((b1 & 0x0F) << 2) | (b2 >> 6)] : '=';
        out += left > 2 ? kEncodingTable[b2 & 0x3F] : '=';
        onLine = static_cast<uint16_t>(onLine + 4);
        if (lineLength > 0 && onLine >= lineLength) {
            out += '\n';
            onLine = 0;
        }
    }
    return out;
}

std::string base16Encoding(const plat::Bytes& data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(data.size() * 2);
    for (uint8_t byte : data) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
    }
    return out;
}

std::string stringWithNewUUID() {
    return plat::Uuid::createString();
}

Ref<plat::OperationQueue> sharedOperationQueue() {
    static const Ref<plat::OperationQueue> queue = plat::OperationQueue::make();
    return queue;
}
