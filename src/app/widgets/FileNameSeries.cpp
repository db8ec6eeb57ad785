#include "app/widgets/FileNameSeries.h"

#include <algorithm>
#include <string_view>

#include "platform/core/Exception.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"

PLAT_DEFINE_CLASS(FileNameSeries, plat::Object, [](auto&) {})

namespace {

// The id in decimal, zero-padded to length digits after its sign.
std::string paddedNumber(int64_t id, int32_t length) {
    std::string digits = std::to_string(id < 0 ? -id : id);
    const size_t width = static_cast<size_t>(length) - (id < 0 ? 1 : 0);
    if (static_cast<int32_t>(width) > 0 && digits.size() < width)
        digits.insert(0, width - digits.size(), '0');
    return id < 0 ? "-" + digits : digits;
}

}  // namespace

FileNameSeries::FileNameSeries(std::string format, int32_t startId, int32_t endId, int32_t idLength)
    : format_(std::move(format)),
      startId_(std::min(startId, endId)),
      endId_(std::max(startId, endId)),
      idLength_(idLength) {
    if (idLength < 1)
        throw plat::Exception("ArgumentOutOfRange", "idLength must be greater than zero");
    if (idLength > kMaxIdLength)
        throw plat::Exception("ArgumentOutOfRange", "idLength must be at most 32");
    if (int64_t{endId_} - startId_ + 1 > kMaxIds)
        throw plat::Exception("ArgumentOutOfRange", "a series holds at most 1000 ids");
}

Ref<FileNameSeries> FileNameSeries::seriesWithFormat(std::string format, int32_t startId,
                                                     int32_t endId, int32_t idLength) {
    return std::make_shared<FileNameSeries>(std::move(format), startId, endId, idLength);
}

Ref<FileNameSeries> FileNameSeries::seriesWithDictionary(const plat::Dictionary& description,
                                                         const std::string& prefix) {
    return seriesWithFormat(stringForKey(description, prefix + "Format", ""),
                            intForKey(description, prefix + "IdStart", 0),
                            intForKey(description, prefix + "IdEnd", 0),
                            intForKey(description, prefix + "IdLength", 0));
}

std::vector<std::string> FileNameSeries::populateSeries() const {
    static constexpr std::string_view kId = "<Id>";
    std::vector<std::string> names;
    for (int64_t id = startId_; id <= endId_; ++id) {
        const std::string number = paddedNumber(id, idLength_);
        std::string name;
        for (size_t i = 0; i < format_.size();) {
            if (format_.compare(i, kId.size(), kId) == 0) {
                name += number;
                i += kId.size();
            } else if (format_.compare(i, 2, "%%") == 0) {
                name += '%';
                i += 2;
            } else {
                name += format_[i++];
            }
        }
        names.push_back(std::move(name));
    }
    return names;
}
