#pragma once
// Named pasteboards: user-wide slots, each holding data under one or more type names, shared by
// every run of the program (and by anything else that uses the same folder). A slot is one small
// file in <Library>/Varnel/Pasteboards, named after the slot with unsafe characters escaped.
// A missing, unreadable or malformed slot reads as empty.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Value.h"

namespace plat {

class Pasteboard {
  public:
    // The pasteboard of that name in the standard folder (applicationDataDirectory()/Pasteboards).
    static Ref<Pasteboard> pasteboardWithName(std::string_view name);
    // The pasteboard of that name kept in the given folder.
    Pasteboard(std::filesystem::path folder, std::string name);

    const std::string& name() const { return name_; }
    // The data stored for the type; nothing when there is none.
    std::optional<Bytes> dataForType(std::string_view type) const;
    // Stores the data for the type, keeping other types' data. Answers false when it could not
    // be written.
    bool setData(const Bytes& data, std::string_view type);

    // The file that holds the slot.
    std::filesystem::path filePath() const;
    // The file name used for a slot name: letters, digits, '.', '-' and '_' as they are (a
    // leading '.' escaped), every other byte as %XX; long names are shortened with a digest.
    static std::string fileNameForName(std::string_view name);

  private:
    std::filesystem::path folder_;
    std::string name_;
};

}  // namespace plat
