#pragma once
// FileNameSeries: the file names of a numbered series of pictures. Every "<Id>" in the pattern
// stands for the number, padded with zeros to idLength digits (a negative number keeps its sign
// inside the width, a wider one is written in full); "%%" stands for "%" and any other "%" is
// itself. A length outside 1 to 32 or more than 1,000 ids throws "ArgumentOutOfRange".
#include <string>
#include <vector>

#include "platform/core/Collections.h"

class FileNameSeries : public plat::Object {
    PLAT_CLASS(FileNameSeries)
  public:
    static constexpr int32_t kMaxIdLength = 32;
    static constexpr int64_t kMaxIds = 1000;

    FileNameSeries(std::string format, int32_t startId, int32_t endId, int32_t idLength);
    static Ref<FileNameSeries> seriesWithFormat(std::string format, int32_t startId, int32_t endId,
                                                int32_t idLength);
    // From prefix + "Format", "IdStart", "IdEnd" and "IdLength".
    static Ref<FileNameSeries> seriesWithDictionary(const plat::Dictionary& description,
                                                    const std::string& prefix);

    std::vector<std::string> populateSeries() const;

    const std::string& format() const { return format_; }
    int32_t startId() const { return startId_; }
    int32_t endId() const { return endId_; }
    int32_t idLength() const { return idLength_; }

  private:
    std::string format_;
    int32_t startId_;
    int32_t endId_;
    int32_t idLength_;
};
