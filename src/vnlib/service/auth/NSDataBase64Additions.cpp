#include "vnlib/service/auth/NSDataBase64Additions.h"

#include "platform/core/Exception.h"

namespace {

// The 6-bit value of a symbol of the standard alphabet; -1 for any other character.
int symbolValue(char c) {
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

bool isSkipped(char c) {
    return c == '=' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Appends the bytes of a group of two to four symbols (one byte fewer than symbols).
void appendGroup(plat::Bytes& out, const int (&group)[4], size_t count) {
    const uint32_t bits = (static_cast<uint32_t>(group[0]) << 18) |
                          (static_cast<uint32_t>(group[1]) << 12) |
                          (static_cast<uint32_t>(group[2]) << 6) | static_cast<uint32_t>(group[3]);
    out.push_back(static_cast<uint8_t>(bits >> 16));
    if (count > 2)
        out.push_back(static_cast<uint8_t>(bits >> 8));
    if (count > 3)
        out.push_back(static_cast<uint8_t>(bits));
}

}  // namespace

std::optional<plat::Bytes> dataWithBase64EncodedString(std::optional<std::string_view> string) {
    if (!string)
        plat::raise(plat::NSInvalidArgumentException,
                    "dataWithBase64EncodedString: the string is nil");
    for (char c : *string) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return std::nullopt;
    }

    plat::Bytes out;
    out.reserve(string->size() / 4 * 3 + 3);
    int group[4] = {0, 0, 0, 0};
    size_t count = 0;
    for (char c : *string) {
        if (isSkipped(c))
            continue;
        const int value = symbolValue(c);
        if (value < 0)
            return std::nullopt;
        group[count++] = value;
        if (count == 4) {
            appendGroup(out, group, 4);
            count = 0;
            group[0] = group[1] = group[2] = group[3] = 0;
        }
    }
    if (count == 1)
        return std::nullopt;
    if (count > 1)
        appendGroup(out, group, count);
    return out;
}
