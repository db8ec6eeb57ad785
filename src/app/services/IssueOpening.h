#pragma once
// IssueOpening: opens an item of the member's library in the reader: its pages' metadata
// downloads, then the reader shows it and the main window hides until the reader closes.
// Whoever shows the item's progress listens. The library offers it.
#include <functional>

#include "platform/core/Ref.h"

class VnMagazineIssueInfo;

class IssueOpening {
  public:
    static constexpr const char* kSeamName = "IssueOpening";
    virtual ~IssueOpening() = default;

    // False when the item will not open: the reader cannot show it (the member has been told so
    // and has answered by the time this returns), or there is nothing to open it with. The caller
    // then ends what it shows while it waits for the reader. True when the reader shows it, or
    // its opening is under way: should that opening end without the reader (a download that
    // failed; the member has been told), `whenNotShown` is called then, once.
    virtual bool openIssue(const Ref<VnMagazineIssueInfo>& item,
                           std::function<void()> whenNotShown) = 0;
};
