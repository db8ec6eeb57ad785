#pragma once
// VnUserMagazineIssueInfo: the per-user state of one catalogue item in one list: its position
// from the server and what the user did with it (hidden from the library, finished, opened). It
// writes its own row of the list's table file.
#include <string>

#include "vnlib/domain/storage/VnRowText.h"
#include "vnlib/info/VnInfo.h"

class VnUserMagazineIssueInfo : public VnInfo, public VnRowText {
    PLAT_CLASS(VnUserMagazineIssueInfo)
  public:
    VnUserMagazineIssueInfo() = default;
    // A record with that code, its flags off and sort index 0.
    static Ref<VnUserMagazineIssueInfo> itemWithMagazineIssueCode(const std::string& code);

    bool hiddenFromLibrary() const { return hiddenFromLibrary_; }
    void setHiddenFromLibrary(bool hidden) { hiddenFromLibrary_ = hidden; }
    int32_t sortIndex() const { return sortIndex_; }
    void setSortIndex(int32_t index) { sortIndex_ = index; }
    bool finished() const { return finished_; }
    void setFinished(bool finished) { finished_ = finished; }
    bool readed() const { return readed_; }
    void setReaded(bool readed) { readed_ = readed; }

    // {"HiddenFromLibrary":0,"SortIndex":3,"Finished":0,"Readed":0,"Code":"..."}; declined for a
    // subclass, without a code, or when loaded from a dictionary with other keys.
    bool appendRowText(std::string& out) const override;

  private:
    int32_t sortIndex_ = 0;  // first: the flags then fill its word, with no padding between
    bool hiddenFromLibrary_ = false;
    bool finished_ = false;
    bool readed_ = false;
};
