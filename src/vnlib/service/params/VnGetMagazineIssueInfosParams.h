#pragma once
// The request objects of the issue listing calls: VnGetMetaMagazineIssueInfosParams asks for one
// page of a list of issue references ("GetMetaMagazineIssueInfos": list kind, title code, and the
// range as "start" and "length"); VnGetMagazineIssueInfosParams asks for the full records of a
// list of issue codes.
#include <cstdint>
#include <optional>
#include <string>

#include "vnlib/service/params/VnClientServiceParams.h"

// A range of list positions: the first position and the number of positions.
struct VnIndexRange {
    uint64_t location = 0;
    uint64_t length = 0;
};

class VnGetMetaMagazineIssueInfosParams : public VnClientServiceParams {
    PLAT_CLASS(VnGetMetaMagazineIssueInfosParams)
  public:
    VnGetMetaMagazineIssueInfosParams() = default;
    // The issues of one title: keeps the code and the list kind, no book category.
    void initWithCode(std::optional<std::string> code, std::optional<std::string> type,
                      VnIndexRange indexRange);
    // The items of a list kind in a book category: no title code. The category is kept but is
    // not part of the written request.
    void initWithType(std::optional<std::string> type, std::optional<std::string> bookCategory,
                      VnIndexRange indexRange);

    const std::optional<std::string>& magazineType() const { return magazineType_; }
    const std::optional<std::string>& magazineCode() const { return magazineCode_; }
    const std::optional<std::string>& bookCategory() const { return bookCategory_; }
    VnIndexRange itemIndexRange() const { return itemIndexRange_; }
    // The range's location and length as written: their low 32 bits, signed.
    int32_t start() const { return static_cast<int32_t>(itemIndexRange_.location); }
    int32_t length() const { return static_cast<int32_t>(itemIndexRange_.length); }

  private:
    std::optional<std::string> magazineType_;
    std::optional<std::string> magazineCode_;
    std::optional<std::string> bookCategory_;
    VnIndexRange itemIndexRange_;
};

class VnGetMagazineIssueInfosParams : public VnClientServiceParams {
    PLAT_CLASS(VnGetMagazineIssueInfosParams)
  public:
    VnGetMagazineIssueInfosParams() = default;
    // Keeps a copy of the list of issue codes.
    void initWithMagazineIssueCodes(const Ref<plat::Array>& magazineIssueCodes);

    const Ref<plat::Array>& magazineIssueCodes() const { return magazineIssueCodes_; }

  private:
    Ref<plat::Array> magazineIssueCodes_;
};
