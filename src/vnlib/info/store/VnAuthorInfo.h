#pragma once
// VnAuthorInfo and VnPublisherInfo: an author or a publisher, known by the full name, which is
// the record's code.
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnAuthorInfo : public VnInfo {
    PLAT_CLASS(VnAuthorInfo)
  public:
    const std::optional<std::string>& fullName() const { return code(); }
    void setFullName(std::optional<std::string> fullName) { setCode(std::move(fullName)); }
};

class VnPublisherInfo : public VnInfo {
    PLAT_CLASS(VnPublisherInfo)
  public:
    const std::optional<std::string>& fullName() const { return code(); }
    void setFullName(std::optional<std::string> fullName) { setCode(std::move(fullName)); }
};
