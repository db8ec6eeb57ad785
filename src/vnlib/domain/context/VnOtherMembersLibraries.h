#pragma once
// VnOtherMembersLibraries: whether another member of this home keeps an item in their local
// library. Item folders are shared by every member of the home, so one member's removal of an
// item must leave the files another member still holds. Each member's folder (beside the asking
// member's own, below the home's "_Users") keeps that member's library tables; they are read from
// disk as they stand, never asked of the service.
//
// Nothing there is trusted: a member folder or table that is a link is not followed, and a
// member whose library cannot be read (a folder that cannot be listed, a table that cannot be
// opened or is no JSON list) counts as holding every item. Entries that are not folders are no
// members.
#include <filesystem>
#include <string>
#include <vector>

class VnOtherMembersLibraries {
  public:
    // `ownFolder`: the asking member's folder; `tableFileNames`: the file names of a member's
    // library tables in a member folder.
    VnOtherMembersLibraries(std::filesystem::path ownFolder,
                            std::vector<std::string> tableFileNames);

    // Whether a member other than the asking one holds (or may hold) the item of that code.
    bool holdItem(const std::string& code) const;

  private:
    bool memberMayHold(const std::filesystem::path& memberFolder, const std::string& code) const;

    std::filesystem::path ownFolder_;
    std::vector<std::string> tableFileNames_;
};
