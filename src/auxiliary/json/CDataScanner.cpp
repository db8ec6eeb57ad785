#include "auxiliary/json/CDataScanner.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

#include "platform/core/Exception.h"
#include "platform/core/Log.h"
#include "platform/storage/PropertyListSupport.h"

PLAT_DEFINE_CLASS(CDataScanner, plat::Object, [](auto&) {})

namespace {

bool isUtf8Continuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

std::optional<std::string> validUtf8(std::string_view bytes) {
    if (!plat::plist::isValidUtf8(bytes))
        return std::nullopt;
    return std::string(bytes);
}

// The length of a line end at the text's start: LF, FF, CR, or the UTF-8 forms of U+0085,
// U+2028 and U+2029; 0 for none.
size_t lineEndLength(std::string_view text) {
    if (text.empty())
        return 0;
    const auto b0 = static_cast<uint8_t>(text[0]);
    if (b0 == 0x0A || b0 == 0x0C || b0 == 0x0D)
        return 1;
    if (text.size() >= 2 && b0 == 0xC2 && static_cast<uint8_t>(text[1]) == 0x85)
        return 2;
    if (text.size() >= 3 && b0 == 0xE2 && static_cast<uint8_t>(text[1]) == 0x80 &&
        (static_cast<uint8_t>(text[2]) == 0xA8 || static_cast<uint8_t>(text[2]) == 0xA9))
        return 3;
    return 0;
}

// A number value from integer text: the 64-bit value when it fits, else the exact decimal;
// nil when even a decimal cannot hold it.
plat::Value integerValue(std::string_view run, bool isSigned) {
    // Read the leading "[+-]digits" as the platform's integer readers do.
    size_t i = 0;
    bool negative = false;
    if (i < run.size() && (run[i] == '+' || run[i] == '-'))
        negative = run[i++] == '-';
    const size_t digitsStart = i;
    while (i < run.size() && run[i] >= '0' && run[i] <= '9')
        ++i;
    const std::string_view digits = run.substr(digitsStart, i - digitsStart);
    if (digits.empty())
        return isSigned ? plat::Value(int64_t{0}) : plat::Value(uint64_t{0});
    if (isSigned || negative) {
        uint64_t magnitude = 0;
        auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
        const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
        if (ec == std::errc() && magnitude <= limit) {
            const int64_t v =
                negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
            return isSigned ? plat::Value(v) : plat::Value(static_cast<uint64_t>(v));
        }
    } else {
        uint64_t v = 0;
        auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
        if (ec == std::errc())
            return plat::Value(v);
    }
    auto decimal = plat::Decimal::fromString(run.substr(0, i));
    return decimal ? plat::Value(std::move(*decimal)) : plat::Value();
}

}  // namespace

CDataScannerCharacterSet CDataScannerCharacterSetWithCharacters(std::string_view characters) {
    CDataScannerCharacterSet set;
    for (char c : characters)
        set.set(static_cast<uint8_t>(c));
    return set;
}

const CDataScannerCharacterSet& CDataScanner::numberCharacters() {
    static const CDataScannerCharacterSet set =
        CDataScannerCharacterSetWithCharacters("0123456789eE-+.");
    return set;
}

Ref<CDataScanner> CDataScanner::initWithData(const plat::Bytes& data) {
    auto scanner = std::make_shared<CDataScanner>();
    scanner->setData(data);
    return scanner;
}

void CDataScanner::setData(std::shared_ptr<const plat::Bytes> data) {
    data_ = std::move(data);
    current_ = 0;
    end_ = data_ ? data_->size() : 0;
}

void CDataScanner::setScanLocation(uint64_t location) {
    current_ = std::min(location, end_);
}

char CDataScanner::scanCharacter() {
    if (isAtEnd())
        return 0;
    return static_cast<char>(bytes()[current_++]);
}

bool CDataScanner::scanCharacter(char16_t character) {
    if (isAtEnd() || bytes()[current_] != static_cast<uint8_t>(character & 0xFF))
        return false;
    ++current_;
    return true;
}

bool CDataScanner::scanUTF8String(const char* text, std::string* out) {
    return scanString(text ? std::string_view(text) : std::string_view(), out);
}

bool CDataScanner::scanString(std::string_view text, std::string* out) {
    if (text.size() > bytesRemaining() || remainingView().substr(0, text.size()) != text)
        return false;
    current_ += text.size();
    if (out)
        *out = std::string(text);
    return true;
}

uint64_t CDataScanner::runLength(const CDataScannerCharacterSet& set, bool members) const {
    uint64_t n = 0;
    while (current_ + n < end_ && set.test(bytes()[current_ + n]) == members)
        ++n;
    return n;
}

bool CDataScanner::scanCharactersFromSet(const CDataScannerCharacterSet& set, std::string* out) {
    const uint64_t n = runLength(set, true);
    if (n == 0)
        return false;
    if (out)
        *out = validUtf8(remainingView().substr(0, n)).value_or(std::string());
    current_ += n;
    return true;
}

bool CDataScanner::scanUpToCharactersFromSet(const CDataScannerCharacterSet& set,
                                             std::string* out) {
    const uint64_t n = runLength(set, false);
    if (n == 0)
        return false;
    if (out)
        *out = validUtf8(remainingView().substr(0, n)).value_or(std::string());
    current_ += n;
    return true;
}

bool CDataScanner::scanUpToString(std::string_view text, std::string* out) {
    const size_t at = remainingView().find(text);
    if (text.empty() || at == std::string_view::npos)
        return false;
    if (out)
        *out = validUtf8(remainingView().substr(0, at)).value_or(std::string());
    current_ += at;
    return true;
}

bool CDataScanner::scanNumber(plat::Value* out) {
    const uint64_t n = runLength(numberCharacters(), true);
    if (n == 0)
        return false;
    const std::string_view run = remainingView().substr(0, n);
    plat::Value value;
    if (run.find_first_of(".eE") != std::string_view::npos) {
        auto decimal = plat::Decimal::fromString(run);
        if (!decimal)
            return false;
        value = plat::Value(std::move(*decimal));
    } else {
        value = integerValue(run, run.find('-') != std::string_view::npos);
        if (value.isNil())
            return false;
    }
    current_ += n;
    if (out)
        *out = std::move(value);
    return true;
}

bool CDataScanner::scanDecimalNumber(plat::Value* out) {
    const uint64_t n = runLength(numberCharacters(), true);
    if (n == 0)
        return false;
    auto decimal = plat::Decimal::fromString(remainingView().substr(0, n));
    if (!decimal)
        return false;
    current_ += n;
    if (out)
        *out = plat::Value(std::move(*decimal));
    return true;
}

bool CDataScanner::scanDataOfLength(uint64_t length, plat::Bytes* out) {
    if (length > bytesRemaining())
        return false;
    if (out)
        out->assign(bytes() + current_, bytes() + current_ + length);
    current_ += length;
    return true;
}

void CDataScanner::skipWhitespace() {
    while (current_ < end_ && std::isspace(bytes()[current_]))
        ++current_;
}

std::optional<std::string> CDataScanner::remainingString() const {
    return validUtf8(remainingView());
}

plat::Bytes CDataScanner::remainingData() const {
    return plat::Bytes(bytes() + current_, bytes() + end_);
}

bool CDataScanner::scanCStyleComment(std::string* out) {
    if (!scanUTF8String("/*"))
        return false;
    std::string comment;
    if (!scanUpToString("*/", &comment)) {
        throw plat::Exception("NSGenericException",
                              "Started to scan a C style comment but it wasn't terminated.");
    }
    if (comment.find("/*") != std::string::npos)
        throw plat::Exception("NSGenericException", "C style comments should not be nested.");
    if (!scanUTF8String("*/"))
        throw plat::Exception("NSGenericException", "C style comment did not end correctly.");
    if (out)
        *out = std::move(comment);
    return true;
}

bool CDataScanner::scanCPlusPlusStyleComment(std::string* out) {
    if (!scanUTF8String("//"))
        return false;
    const std::string_view rest = remainingView();
    size_t n = 0;
    while (n < rest.size() && lineEndLength(rest.substr(n)) == 0)
        ++n;
    if (out)
        *out = validUtf8(rest.substr(0, n)).value_or(std::string());
    current_ += n;
    while (size_t len = lineEndLength(remainingView()))
        current_ += len;
    return true;
}

uint64_t CDataScanner::lineOfScanLocation() const {
    const uint8_t* b = bytes();
    return static_cast<uint64_t>(
        std::count_if(b, b + current_, [](uint8_t c) { return c == '\n' || c == '\r'; }));
}

Ref<plat::MutableDictionary> CDataScanner::userInfoForScanLocation() const {
    const uint8_t* b = bytes();
    uint64_t lineStart = current_;
    while (lineStart > 0 && b[lineStart - 1] != '\n' && b[lineStart - 1] != '\r')
        --lineStart;
    // Twenty bytes either side, moved inwards to whole characters.
    uint64_t from = current_ >= 20 ? current_ - 20 : 0;
    while (from < current_ && isUtf8Continuation(b[from]))
        ++from;
    uint64_t to = std::min(end_, current_ + 20);
    while (to > current_ && to < end_ && isUtf8Continuation(b[to]))
        --to;
    const std::string_view all(reinterpret_cast<const char*>(b), end_);
    const std::string before = validUtf8(all.substr(from, current_ - from)).value_or("(null)");
    const std::string after = validUtf8(all.substr(current_, to - current_)).value_or("(null)");
    auto info = plat::MutableDictionary::make();
    info->setObject(plat::Value(lineOfScanLocation()), "line");
    info->setObject(plat::Value(current_ - lineStart), "character");
    info->setObject(plat::Value(current_), "location");
    info->setObject(plat::Value(before + "!HERE>!" + after), "snippet");
    return info;
}
