#pragma once
// UTF-8 code point decoding and encoding shared by the JSON reader and writer:
// ConvertSingleCodePointInUTF8 decodes one sequence and classifies bad input; isLegalUTF8 is the
// Unicode Standard's table of well-formed sequences; ConvertUTF32toUTF8 encodes one code point.
// The JSON codec refuses U+0000, the surrogates, U+FDD0..U+FDEF and every code point whose low
// 16 bits are FFFE or FFFF ("forbidden" code points).
#include <cstddef>
#include <cstdint>

enum ConversionResult : int {
    conversionOK = 0,
    sourceExhausted = 1,  // the sequence runs past the end of the input
    sourceIllegal = 3,    // malformed, or a forbidden code point
};

inline constexpr uint32_t JKReplacementCharacter = 0xFFFD;

inline bool jk_isForbiddenCodePoint(uint32_t cp) {
    return cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || (cp >= 0xFDD0 && cp <= 0xFDEF) ||
           (cp & 0xFFFE) == 0xFFFE || cp > 0x10FFFF;
}

// Whether the `length` bytes at `source` (1 to 4) are one well-formed UTF-8 sequence.
bool isLegalUTF8(const uint8_t* source, size_t length);

// Decodes the sequence that starts at `source` (a lead byte of 0x80 or above) and ends before
// `sourceEnd`. Stores the position after the consumed bytes and the code point (U+FFFD on
// failure) in every case.
ConversionResult ConvertSingleCodePointInUTF8(const uint8_t* source, const uint8_t* sourceEnd,
                                              const uint8_t** nextSource, uint32_t* codePoint);

// Writes the UTF-8 form of a code point (U+FFFD for a forbidden one or one above U+10FFFF) to
// `target`, which has room for 4 bytes. Answers the number of bytes written.
size_t ConvertUTF32toUTF8(uint32_t codePoint, uint8_t* target);
