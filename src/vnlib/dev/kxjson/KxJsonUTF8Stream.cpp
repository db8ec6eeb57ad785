#include "vnlib/dev/kxjson/KxJsonUTF8Stream.h"

#include <cstring>

KxJsonUTF8Stream::KxJsonUTF8Stream() {
    bytes_.reserve(4096);
}

void KxJsonUTF8Stream::appendBytes(const uint8_t* bytes, size_t length) {
    if (index_ > 0) {
        const size_t consumed = index_ < bytes_.size() ? index_ : bytes_.size();
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(consumed));
        index_ = 0;
    }
    if (length > 0)
        bytes_.insert(bytes_.end(), bytes, bytes + length);
}

bool KxJsonUTF8Stream::getCurrentByte(uint8_t* byte) const {
    if (index_ >= bytes_.size())
        return false;
    *byte = bytes_[index_];
    return true;
}

bool KxJsonUTF8Stream::getNextByte(uint8_t* byte) {
    ++index_;
    return getCurrentByte(byte);
}

void KxJsonUTF8Stream::skipWhitespace() {
    while (index_ < bytes_.size()) {
        const uint8_t c = bytes_[index_];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return;
        ++index_;
    }
}

bool KxJsonUTF8Stream::skipWord(std::string_view word) {
    if (remaining() < word.size() || std::memcmp(bytes_.data() + index_, word.data(), word.size()))
        return false;
    index_ += word.size();
    return true;
}
