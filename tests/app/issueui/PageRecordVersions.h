#pragma once
// The versions of a page record that the kill test's writer writes one after another, and the
// check that a record read back is one of them, whole.
#include <string>

#include "app/issueui/IssuePageRecord.h"

namespace page_record_kill {

inline constexpr const char* kIssue = "KL01-0412";

// 412 pages and a few less or more, so that one version's text never has the length of the next;
// every seventh page damaged.
inline int pageCount(long version) {
    return 400 + static_cast<int>(version % 25);
}

inline IssuePageRecord::Page page(long version, int index) {
    const std::string identity = std::to_string(version) + " " +
                                 std::to_string(1700000000 + index) + ".5 " +
                                 std::to_string(4000 + index) + " 1700000000.25";
    if (index % 7 == 3)
        return {{false, "damaged in version " + std::to_string(version), 0, 0}, identity};
    return {{true, "", 100.0 + index, 842.25 + static_cast<double>(version)}, identity};
}

inline IssuePageRecord version(long number) {
    IssuePageRecord record(kIssue);
    for (int i = 0; i < pageCount(number); ++i)
        record.set(i, page(number, i));
    return record;
}

// The version the record is, whole; -1 when it is not one of them (empty, mixed, or wrong in any
// value).
inline long versionOf(const IssuePageRecord& record) {
    const auto* first = record.page(0);
    if (!first)
        return -1;
    const long number = std::atol(first->identity.c_str());
    return record.text() == version(number).text() ? number : -1;
}

}  // namespace page_record_kill
