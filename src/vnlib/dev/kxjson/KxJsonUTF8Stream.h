#pragma once
// KxJsonUTF8Stream: the growing byte buffer that the stream parser's tokeniser reads from. Bytes
// are appended as they arrive; a read index walks over them, and the bytes before the index are
// dropped only when new bytes are appended, so that a token cut off by the end of the buffer can
// be read again from its start.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class KxJsonUTF8Stream {
  public:
    KxJsonUTF8Stream();

    // Drops the bytes before the read index (which becomes 0), then adds the new bytes.
    void appendBytes(const uint8_t* bytes, size_t length);

    size_t index() const { return index_; }
    void setIndex(size_t index) { index_ = index; }
    size_t length() const { return bytes_.size(); }
    const uint8_t* bytes() const { return bytes_.data(); }
    // Bytes left from the read index on.
    size_t remaining() const { return index_ < bytes_.size() ? bytes_.size() - index_ : 0; }

    // The byte at the read index; false when the index is at or past the end.
    bool getCurrentByte(uint8_t* byte) const;
    // Advances the read index, then gives the byte there; false when that is past the end.
    bool getNextByte(uint8_t* byte);
    // Steps over space, tab, line feed and carriage return.
    void skipWhitespace();
    // Advances past `word` when the bytes at the read index spell it; false (index unchanged)
    // otherwise.
    bool skipWord(std::string_view word);

  private:
    std::vector<uint8_t> bytes_;
    size_t index_ = 0;
};
