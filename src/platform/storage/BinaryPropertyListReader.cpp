#include "platform/storage/BinaryPropertyListReader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/Collections.h"
#include "platform/storage/PropertyList.h"
#include "platform/storage/PropertyListSupport.h"

namespace plat::plist {
namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kTrailerSize = 32;
// The most values a document may expand to when shared objects are counted at every use: at most
// 64 uses per object in its table (but always 65,536, so small documents may share freely), and
// never more than 2^24. A few hundred bytes of shared references cannot become gigabytes.
constexpr uint64_t kMaxExpandedObjects = uint64_t{1} << 24;
constexpr uint64_t kExpansionPerObject = 64;
constexpr uint64_t kMinExpansionLimit = uint64_t{1} << 16;

class Reader {
  public:
    explicit Reader(std::span<const uint8_t> data) : d_(data) {}

    Value parse() {
        if (d_.size() < kHeaderSize + 1 + kTrailerSize)
            failWith("file too short");
        if (std::memcmp(d_.data(), "bplist00", kHeaderSize) != 0)
            failWith("bad header");
        const size_t trailer = d_.size() - kTrailerSize;
        offsetSize_ = d_[trailer + 6];
        refSize_ = d_[trailer + 7];
        const uint64_t objectCount = readUInt(trailer + 8, 8);
        const uint64_t top = readUInt(trailer + 16, 8);
        const uint64_t tableOffset = readUInt(trailer + 24, 8);

        if (offsetSize_ < 1 || offsetSize_ > 8)
            failWith("bad offset size");
        if (refSize_ < 1 || refSize_ > 8)
            failWith("bad object reference size");
        // Objects lie between the header and the offset table, which ends at the trailer.
        if (tableOffset <= kHeaderSize || tableOffset >= trailer)
            failWith("bad offset table position");
        if (objectCount == 0 || objectCount > (trailer - tableOffset) / offsetSize_) {
            failWith("bad object count");
        }
        if (top >= objectCount)
            failWith("bad top object");
        objectsEnd_ = static_cast<size_t>(tableOffset);
        tableOffset_ = static_cast<size_t>(tableOffset);
        objectCount_ = static_cast<size_t>(objectCount);
        expansionLimit_ = std::min(kMaxExpandedObjects,
                                   std::max(kMinExpansionLimit, objectCount * kExpansionPerObject));
        state_.assign(objectCount_, State::Unread);
        values_.resize(objectCount_);
        heights_.assign(objectCount_, 0);
        sizes_.assign(objectCount_, 1);
        return object(static_cast<size_t>(top), 0);
    }

  private:
    enum class State : uint8_t { Unread, Reading, Done };

    [[noreturn]] static void failWith(const std::string& message) {
        fail("Binary property list: " + message);
    }

    // Big-endian unsigned number of 1..8 bytes at an offset already known to be in range.
    uint64_t readUInt(size_t at, size_t width) const {
        uint64_t v = 0;
        for (size_t i = 0; i < width; ++i)
            v = v << 8 | d_[at + i];
        return v;
    }

    // Checks that [at, at + count * unit) lies within the object area.
    void need(size_t at, uint64_t count, size_t unit, const char* what) const {
        if (at > objectsEnd_ || count > (objectsEnd_ - at) / unit) {
            failWith(std::string(what) + " runs past the object area");
        }
    }

    // The element count of a container, string or data object: the low nibble of the marker,
    // or, when it is 0xF, an integer object that follows. Advances at past the count.
    uint64_t count(uint8_t marker, size_t& at) const {
        const uint64_t low = marker & 0x0F;
        if (low != 0x0F)
            return low;
        need(at, 1, 1, "count");
        const uint8_t intMarker = d_[at++];
        if ((intMarker & 0xF0) != 0x10 || (intMarker & 0x0F) > 3)
            failWith("bad count marker");
        const size_t width = size_t{1} << (intMarker & 0x0F);
        need(at, width, 1, "count");
        const uint64_t n = readUInt(at, width);
        if (width == 8 && (n >> 63) != 0)
            failWith("negative count");
        at += width;
        return n;
    }

    size_t reference(size_t at) const {
        const uint64_t ref = readUInt(at, refSize_);
        if (ref >= objectCount_)
            failWith("object reference out of range");
        return static_cast<size_t>(ref);
    }

    // Objects are decoded once and shared. Each remembers its nesting height and its expanded
    // size, so that sharing cannot hide a value too deep or too large to walk.
    Value object(size_t index, int depth) {
        if (state_[index] == State::Reading)
            failWith("an object contains itself");
        if (state_[index] == State::Unread) {
            state_[index] = State::Reading;
            values_[index] = decode(index, depth);
            state_[index] = State::Done;
        }
        if (depth + heights_[index] > PropertyList::kMaxDepth)
            failWith("nesting too deep");
        return values_[index];
    }

    // Accounts a container's child for the container's height and expanded size.
    void addChild(size_t child, int& height, uint64_t& size) const {
        height = std::max(height, heights_[child] + 1);
        size += sizes_[child];
        if (size > expansionLimit_)
            failWith("shared objects expand to too many values");
    }

    Value decode(size_t index, int depth) {
        const uint64_t offset = readUInt(tableOffset_ + index * offsetSize_, offsetSize_);
        if (offset < kHeaderSize || offset >= objectsEnd_)
            failWith("object offset out of range");
        size_t at = static_cast<size_t>(offset);
        const uint8_t marker = d_[at++];
        const uint8_t low = marker & 0x0F;
        switch (marker >> 4) {
            case 0x0:
                if (marker == 0x08 || marker == 0x09)
                    return Value::boolean(marker == 0x09);
                failWith("unsupported object type");
            case 0x1:
                return integer(low, at);
            case 0x2: {
                if (low != 2 && low != 3)
                    failWith("bad real size");
                const size_t width = size_t{1} << low;
                need(at, width, 1, "real");
                const uint64_t bits = readUInt(at, width);
                if (width == 4)
                    return Value(
                        static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(bits))));
                return Value(std::bit_cast<double>(bits));
            }
            case 0x3: {
                if (marker != 0x33)
                    failWith("bad date");
                need(at, 8, 1, "date");
                return Value(Date{std::bit_cast<double>(readUInt(at, 8)) + kSecondsFrom1970To2001});
            }
            case 0x4: {
                const uint64_t n = count(marker, at);
                need(at, n, 1, "data");
                return Value(Bytes(d_.begin() + static_cast<ptrdiff_t>(at),
                                   d_.begin() + static_cast<ptrdiff_t>(at + n)));
            }
            case 0x5: {
                const uint64_t n = count(marker, at);
                need(at, n, 1, "string");
                const std::string_view raw(reinterpret_cast<const char*>(d_.data() + at), n);
                // "ASCII" strings from some writers carry 8-bit bytes; read those as Latin-1.
                return Value(isValidUtf8(raw) ? std::string(raw) : latin1ToUtf8(raw));
            }
            case 0x6: {
                const uint64_t n = count(marker, at);
                need(at, n, 2, "string");
                auto text = utf16ToUtf8(d_.subspan(at, static_cast<size_t>(n) * 2), true);
                if (!text)
                    failWith("invalid UTF-16 string");
                return Value(std::move(*text));
            }
            case 0x8: {
                if (low > 7)
                    failWith("bad UID size");
                const size_t width = size_t{low} + 1;
                need(at, width, 1, "UID");
                const auto uid = static_cast<int64_t>(readUInt(at, width) & 0x7FFFFFFFFFFFFFFFull);
                return Value::fromObject(makeDictionary({{Value("CF$UID"), Value(uid)}}));
            }
            case 0xA:
            case 0xC: {  // arrays, and sets read as arrays
                if (depth + 1 > PropertyList::kMaxDepth)
                    failWith("nesting too deep");
                const uint64_t n = count(marker, at);
                need(at, n, refSize_, "array");
                std::vector<Value> values;
                values.reserve(static_cast<size_t>(n));
                int height = 1;
                uint64_t size = 1;
                for (uint64_t i = 0; i < n; ++i) {
                    const size_t child = reference(at + static_cast<size_t>(i) * refSize_);
                    values.push_back(object(child, depth + 1));
                    addChild(child, height, size);
                }
                heights_[index] = height;
                sizes_[index] = size;
                return Value::fromObject(Array::make(std::move(values)));
            }
            case 0xD: {
                if (depth + 1 > PropertyList::kMaxDepth)
                    failWith("nesting too deep");
                const uint64_t n = count(marker, at);
                if (n > (objectsEnd_ - at) / 2)
                    failWith("dictionary runs past the object area");
                need(at, n * 2, refSize_, "dictionary");
                std::vector<std::pair<Value, Value>> entries;
                entries.reserve(static_cast<size_t>(n));
                const size_t values = at + static_cast<size_t>(n) * refSize_;
                int height = 1;
                uint64_t size = 1;
                for (uint64_t i = 0; i < n; ++i) {
                    const size_t keyIndex = reference(at + static_cast<size_t>(i) * refSize_);
                    Value key = object(keyIndex, depth + 1);
                    if (!key.isString())
                        failWith("dictionary key is not a string");
                    const size_t valueIndex = reference(values + static_cast<size_t>(i) * refSize_);
                    Value value = object(valueIndex, depth + 1);
                    addChild(valueIndex, height, size);
                    entries.emplace_back(std::move(key), std::move(value));
                }
                heights_[index] = height;
                sizes_[index] = size;
                return Value::fromObject(makeDictionary(std::move(entries)));
            }
            default:
                failWith("unsupported object type");
        }
    }

    Value integer(uint8_t low, size_t at) const {
        if (low > 4)
            failWith("bad integer size");
        const size_t width = size_t{1} << low;
        need(at, width, 1, "integer");
        if (width < 8)
            return Value(Number::fromInt64(static_cast<int64_t>(readUInt(at, width))));
        if (width == 8)
            return Value(Number::fromInt64(static_cast<int64_t>(readUInt(at, 8))));
        // 16 bytes: written for values beyond the signed 64-bit range.
        const uint64_t high = readUInt(at, 8);
        const uint64_t lowWord = readUInt(at + 8, 8);
        if (high == 0) {
            if (lowWord >> 63)
                return Value(Number::fromUInt64(lowWord));
            return Value(Number::fromInt64(static_cast<int64_t>(lowWord)));
        }
        if (high == ~uint64_t{0} && (lowWord >> 63) != 0) {
            return Value(Number::fromInt64(static_cast<int64_t>(lowWord)));
        }
        failWith("integer out of range");
    }

    std::span<const uint8_t> d_;
    size_t offsetSize_ = 0;
    size_t refSize_ = 0;
    size_t objectCount_ = 0;
    uint64_t expansionLimit_ = 0;
    size_t objectsEnd_ = 0;
    size_t tableOffset_ = 0;
    std::vector<State> state_;
    std::vector<Value> values_;
    std::vector<int> heights_;
    std::vector<uint64_t> sizes_;
};

}  // namespace

Value BinaryPropertyListReader::read(std::span<const uint8_t> data) {
    return Reader(data).parse();
}

}  // namespace plat::plist
