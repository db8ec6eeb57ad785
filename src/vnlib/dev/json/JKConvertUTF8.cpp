#include "vnlib/dev/json/JKConvertUTF8.h"

#include <bit>

bool isLegalUTF8(const uint8_t* source, size_t length) {
    if (length == 0 || length > 4)
        return false;
    const uint8_t lead = source[0];
    if (length == 1)
        return lead < 0x80;
    // Every byte after the second is a plain continuation byte.
    for (size_t i = 2; i < length; ++i) {
        if (source[i] < 0x80 || source[i] > 0xBF)
            return false;
    }
    const uint8_t second = source[1];
    switch (lead) {
        case 0xE0:
            if (second < 0xA0 || second > 0xBF)
                return false;
            break;
        case 0xED:
            if (second < 0x80 || second > 0x9F)
                return false;
            break;
        case 0xF0:
            if (second < 0x90 || second > 0xBF)
                return false;
            break;
        case 0xF4:
            if (second < 0x80 || second > 0x8F)
                return false;
            break;
        default:
            if (second < 0x80 || second > 0xBF)
                return false;
    }
    if (lead < 0xC2 || lead > 0xF4)
        return false;
    // The lead byte must announce exactly this length.
    const size_t announced = lead < 0xE0 ? 2 : (lead < 0xF0 ? 3 : 4);
    return announced == length;
}

ConversionResult ConvertSingleCodePointInUTF8(const uint8_t* source, const uint8_t* sourceEnd,
                                              const uint8_t** nextSource, uint32_t* codePoint) {
    const uint8_t lead = source[0];
    // The number of leading one bits; a lone continuation byte counts as a sequence of one.
    size_t expected = static_cast<size_t>(std::countl_one(lead));
    if (expected == 0)
        expected = 1;
    const size_t available = static_cast<size_t>(sourceEnd - source);
    const bool pastEnd = expected > available;

    if (!pastEnd && isLegalUTF8(source, expected)) {
        uint32_t cp;
        switch (expected) {
            case 1:
                cp = lead;
                break;
            case 2:
                cp = (uint32_t{lead} & 0x1F) << 6 | (source[1] & 0x3F);
                break;
            case 3:
                cp = (uint32_t{lead} & 0x0F) << 12 | uint32_t{source[1] & 0x3Fu} << 6 |
                     (source[2] & 0x3F);
                break;
            default:
                cp = (uint32_t{lead} & 0x07) << 18 | uint32_t{source[1] & 0x3Fu} << 12 |
                     uint32_t{source[2] & 0x3Fu} << 6 | (source[3] & 0x3F);
        }
        *nextSource = source + expected;
        if (jk_isForbiddenCodePoint(cp)) {
            *codePoint = JKReplacementCharacter;
            return sourceIllegal;
        }
        *codePoint = cp;
        return conversionOK;
    }

    // Skip the lead byte and the continuation bytes that belong to the broken sequence.
    const uint8_t* at = source + 1;
    size_t consumed = 1;
    while (at < sourceEnd && consumed < expected && (*at & 0xC0) == 0x80) {
        ++at;
        ++consumed;
    }
    *nextSource = at;
    *codePoint = JKReplacementCharacter;
    if (at < sourceEnd && consumed < expected)
        return sourceIllegal;  // stopped at a foreign byte
    return pastEnd ? sourceExhausted : sourceIllegal;
}

size_t ConvertUTF32toUTF8(uint32_t cp, uint8_t* target) {
    if (jk_isForbiddenCodePoint(cp))
        cp = JKReplacementCharacter;
    if (cp < 0x80) {
        target[0] = static_cast<uint8_t>(cp);
        return 1;
    }
    if (cp < 0x800) {
        target[0] = static_cast<uint8_t>(0xC0 | (cp >> 6));
        target[1] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        target[0] = static_cast<uint8_t>(0xE0 | (cp >> 12));
        target[1] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        target[2] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        return 3;
    }
    target[0] = static_cast<uint8_t>(0xF0 | (cp >> 18));
    target[1] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
    target[2] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
    target[3] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    return 4;
}
