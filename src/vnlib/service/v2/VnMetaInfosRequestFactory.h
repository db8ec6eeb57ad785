#pragma once
// VnMetaInfosRequestFactory: what the bookstore contexts ask of either service session for the
// short item listings (the meta records): a category's books, optionally filtered by a keyword
// and paged by an item range, and the issues of a list kind. Each operation answers a new,
// unstarted request.
#include <optional>
#include <string>

#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/VnMagazineIssueKind.h"
#include "vnlib/service/params/VnGetMagazineIssueInfosParams.h"

// The magazine type of the library's lists: the library kind itself.
inline constexpr const char* VN_MAGAZINETYPE_LIBRARY = VnMagazineIssueKind_Library;
// Raised (with "Can create only request for library") for issue listings of any other kind.
inline constexpr const char* VnClientServiceSessionInvalidMagazineType =
    "VnClientServiceSessionInvalidMagazineType";

class VnMetaInfosRequestFactory {
  public:
    virtual ~VnMetaInfosRequestFactory() = default;

    virtual Ref<VnRequestContext> requestForMetaBookInfosWithCategoryCode(
        const std::optional<std::string>& categoryCode) = 0;
    virtual Ref<VnRequestContext> requestForMetaBookInfosWithCategoryCode(
        const std::optional<std::string>& categoryCode,
        const std::optional<std::string>& keyword) = 0;
    virtual Ref<VnRequestContext> requestForMetaBookInfosWithCategoryCode(
        const std::optional<std::string>& categoryCode, const std::optional<std::string>& keyword,
        VnIndexRange itemRange) = 0;
    virtual Ref<VnRequestContext> requestForMetaMagazineIssueInfosWithMagazineType(
        const std::optional<std::string>& magazineType,
        const std::optional<std::string>& magazineCode, VnIndexRange itemRange) = 0;
};
