#pragma once
// Helpers of the storage tests: records, files, captured log lines and the set of files below a
// folder.
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/CapturedLog.h"
#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

namespace storage_test {

using testing_support::logged;

inline Ref<VnMagazineIssueInfo> issue(const std::string& code, const std::string& head = "MG01",
                                      const std::string& name = "ฉบับพิเศษ") {
    auto info = std::make_shared<VnMagazineIssueInfo>();
    info->setCode(code);
    info->headCode_ = head;
    info->setIssueName(name);
    return info;
}

inline Ref<VnUserMagazineIssueInfo> userItem(const std::string& code, int32_t sortIndex) {
    auto item = VnUserMagazineIssueInfo::itemWithMagazineIssueCode(code);
    item->setSortIndex(sortIndex);
    return item;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Every file and folder below the folder, as paths relative to it.
inline std::set<std::string> entriesBelow(const std::filesystem::path& folder) {
    std::set<std::string> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        out.insert(std::filesystem::relative(entry.path(), folder).string());
    return out;
}

}  // namespace storage_test
