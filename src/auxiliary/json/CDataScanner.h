#pragma once
// CDataScanner: token-level scans over an in-memory byte buffer. Every scan advances only when it
// succeeds. The extensions scan C and C++ comments and describe the scan location (line,
// character, offset and a snippet) for error reports.
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Collections.h"

// A set of byte values.
using CDataScannerCharacterSet = std::bitset<256>;
CDataScannerCharacterSet CDataScannerCharacterSetWithCharacters(std::string_view characters);

class CDataScanner : public plat::Object {
    PLAT_CLASS(CDataScanner)
  public:
    CDataScanner() = default;
    static Ref<CDataScanner> initWithData(const plat::Bytes& data);

    // The buffer being scanned (null for none); the location moves back to its start.
    virtual void setData(std::shared_ptr<const plat::Bytes> data);
    void setData(const plat::Bytes& data) { setData(std::make_shared<const plat::Bytes>(data)); }
    const std::shared_ptr<const plat::Bytes>& data() const { return data_; }

    uint64_t length() const { return end_; }
    uint64_t scanLocation() const { return current_; }
    // Clipped to the buffer's length.
    void setScanLocation(uint64_t location);
    uint64_t bytesRemaining() const { return end_ - current_; }
    bool isAtEnd() const { return current_ >= end_; }

    // The byte at the location, or 0 at the end.
    char currentCharacter() const { return isAtEnd() ? 0 : static_cast<char>(bytes()[current_]); }
    // As currentCharacter, advancing past it when there is one.
    char scanCharacter();
    // Advances past the byte when it equals the character's low byte.
    bool scanCharacter(char16_t character);
    // The bytes of the text, compared whole; `out` receives the text.
    bool scanUTF8String(const char* text, std::string* out = nullptr);
    bool scanString(std::string_view text, std::string* out = nullptr);
    // The longest non-empty run of members (or of non-members), decoded as UTF-8.
    bool scanCharactersFromSet(const CDataScannerCharacterSet& set, std::string* out = nullptr);
    bool scanUpToCharactersFromSet(const CDataScannerCharacterSet& set, std::string* out = nullptr);
    // Stops at the text; nothing moves when the text does not follow anywhere.
    bool scanUpToString(std::string_view text, std::string* out = nullptr);
    // The run of "0123456789eE-+.": a decimal number when it holds '.', 'e' or 'E', else a signed
    // (with '-') or unsigned 64-bit number; an integer too large for 64 bits becomes a decimal.
    // No for an empty run or one that holds no number.
    bool scanNumber(plat::Value* out);
    bool scanDecimalNumber(plat::Value* out);
    bool scanDataOfLength(uint64_t length, plat::Bytes* out);
    // Over every byte that isspace() holds for.
    void skipWhitespace();
    // The remaining bytes as UTF-8 text (nothing when they are not valid); does not advance.
    std::optional<std::string> remainingString() const;
    plat::Bytes remainingData() const;

    // Nothing when the next bytes are not "/*". Throws NSGenericException when the comment is
    // not closed or holds "/*".
    bool scanCStyleComment(std::string* out = nullptr);
    // Up to the next line end, then past the run of line ends.
    bool scanCPlusPlusStyleComment(std::string* out = nullptr);
    // Line feeds and carriage returns before the location.
    uint64_t lineOfScanLocation() const;
    // "line", "character", "location" and "snippet" for the location.
    Ref<plat::MutableDictionary> userInfoForScanLocation() const;

    // The class-wide set of number characters.
    static const CDataScannerCharacterSet& numberCharacters();

  protected:
    const uint8_t* bytes() const { return data_ ? data_->data() : nullptr; }
    std::string_view remainingView() const {
        return {reinterpret_cast<const char*>(bytes()) + current_, end_ - current_};
    }
    // The length of the run of member (or non-member) bytes at the location.
    uint64_t runLength(const CDataScannerCharacterSet& set, bool members) const;

    std::shared_ptr<const plat::Bytes> data_;
    uint64_t current_ = 0;
    uint64_t end_ = 0;
};
