#include "vnlib/domain/context/VnOtherMembersLibraries.h"

#include <system_error>

#include "platform/core/Exception.h"
#include "platform/storage/AtomicFile.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/util/VndDiags.h"
#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"
#include "vnlib/domain/storage/VnLocalDataTable.h"

namespace fs = std::filesystem;

namespace {

enum class Listing { Absent, Listed, Unreadable };

// Whether the table file lists the code. A link is not followed; a table that does not exist
// lists nothing.
Listing listing(const fs::path& path, const std::string& code) {
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found)
        return Listing::Absent;
    if (error || fs::is_symlink(status))
        return Listing::Unreadable;
    Ref<plat::Error> readError;
    const auto bytes = plat::AtomicFile::read(path, VnLocalDataTable::kMaxFileSize, &readError);
    if (!bytes)
        return readError ? Listing::Unreadable : Listing::Absent;  // gone since: lists nothing
    const auto list =
        objectFromJSONString(
            std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()))
            .array();
    if (!list)
        return Listing::Unreadable;
    bool listed = false;
    list->enumerate([&](const plat::Value& element) {
        // Loaded as the member's own library loads it: an element it skips lists nothing.
        try {
            const auto row = std::dynamic_pointer_cast<VnInfo>(VnInfoBase::recordOfClass(
                VnUserMagazineIssueInfo::classObject(), element.dictionary()));
            listed = row && row->code() == code;
        } catch (const plat::Exception&) {
        }
        return !listed;
    });
    return listed ? Listing::Listed : Listing::Absent;
}

bool unreadable(const fs::path& path, const std::string& code) {
    VND_TRACE("General", "Another member's library at %s cannot be read: %s stays", path.c_str(),
              code.c_str());
    return true;
}

}  // namespace

VnOtherMembersLibraries::VnOtherMembersLibraries(fs::path ownFolder,
                                                 std::vector<std::string> tableFileNames)
    : ownFolder_(std::move(ownFolder)), tableFileNames_(std::move(tableFileNames)) {}

bool VnOtherMembersLibraries::memberMayHold(const fs::path& memberFolder,
                                            const std::string& code) const {
    for (const auto& name : tableFileNames_) {
        switch (listing(memberFolder / name, code)) {
            case Listing::Absent:
                break;
            case Listing::Listed:
                return true;
            case Listing::Unreadable:
                return unreadable(memberFolder / name, code);
        }
    }
    return false;
}

bool VnOtherMembersLibraries::holdItem(const std::string& code) const {
    const fs::path members = ownFolder_.parent_path();
    std::error_code error;
    fs::directory_iterator entry(members, error);
    if (error) {
        return error != std::errc::no_such_file_or_directory && unreadable(members, code);
    }
    for (; entry != fs::directory_iterator(); entry.increment(error)) {
        const fs::path& folder = entry->path();
        if (folder.filename() == ownFolder_.filename())
            continue;
        const auto status = entry->symlink_status(error);
        if (error || fs::is_symlink(status))
            return unreadable(folder, code);
        if (fs::is_directory(status) && memberMayHold(folder, code))
            return true;
    }
    // A listing that broke off may have left members out.
    return error && unreadable(members, code);
}
