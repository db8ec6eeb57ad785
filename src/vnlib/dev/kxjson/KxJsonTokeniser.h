#pragma once
// KxJsonTokeniser: splits the UTF-8 bytes of its buffer into JSON tokens for the stream parser.
// Strings come out decoded (escapes resolved, surrogate pairs joined, "\u0000" kept); numbers
// come out as signed 64-bit integers, as decimal numbers, or as a signed zero in double
// precision. When a token is cut off by the end of the buffer the tokeniser answers
// KxJsonTokenTypeEOF and reads on once more bytes are appended: a string, and a number's
// exponent, from where the scan stopped; other tokens (a few bytes at most) again from their
// start.
// On a malformed token it answers KxJsonTokenTypeError and keeps the reason in error().
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/core/Value.h"
#include "vnlib/dev/kxjson/KxJsonUTF8Stream.h"

enum KxJsonTokenType : int {
    KxJsonTokenTypeError = -1,
    KxJsonTokenTypeEOF = 0,  // end of the buffer: more bytes are needed
    KxJsonTokenTypeArrayStart = 1,
    KxJsonTokenTypeArrayEnd = 2,
    KxJsonTokenTypeObjectStart = 3,
    KxJsonTokenTypeObjectEnd = 4,
    KxJsonTokenTypeValueSeparator = 5,
    KxJsonTokenTypeKeyValueSeparator = 6,
    KxJsonTokenTypeNumber = 7,
    KxJsonTokenTypeString = 8,
    KxJsonTokenTypeTrue = 9,
    KxJsonTokenTypeFalse = 10,
    KxJsonTokenTypeNull = 11,
};

// The name of a token kind in error texts ("start of array", "number", "boolean", ...); empty
// for the error and end-of-buffer kinds.
const char* KxJsonTokenName(KxJsonTokenType type);

class KxJsonTokeniser {
  public:
    KxJsonTokeniser() = default;

    void appendData(const uint8_t* bytes, size_t length) { stream_.appendBytes(bytes, length); }

    // The next token. For strings and numbers `token` receives the value (a string; a number or
    // a decimal); for other kinds it is left alone.
    KxJsonTokenType getToken(plat::Value* token);

    const std::optional<std::string>& error() const { return error_; }
    KxJsonUTF8Stream& stream() { return stream_; }

  private:
    KxJsonTokenType getStringToken(plat::Value* token);
    KxJsonTokenType getNumberToken(plat::Value* token);
    KxJsonTokenType scanNumberToken(plat::Value* token);
    KxJsonTokenType matchWord(const char* word, KxJsonTokenType type);
    KxJsonTokenType fail(std::string text);

    KxJsonUTF8Stream stream_;
    std::optional<std::string> error_;
    // A string cut off by the end of the bytes: what it decoded so far; the stream's index is
    // where its scan goes on.
    bool inString_ = false;
    std::string pendingString_;
    // A number cut off in its exponent: how far into the token its scan got, and the exponent
    // read so far.
    struct ExponentResume {
        size_t offset;
        long value;
    };
    std::optional<ExponentResume> exponentResume_;
};
