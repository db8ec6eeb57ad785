#pragma once
// LibraryShelves: what other areas ask of the member's library shelves: load them again (after a
// borrow, a return, a sign-in) and stop what they are loading. The library offers it.
class LibraryShelves {
  public:
    static constexpr const char* kSeamName = "LibraryShelves";
    virtual ~LibraryShelves() = default;

    // Both shelves update from the service; `force` updates even when an update ran lately.
    virtual void refreshShelves(bool force) = 0;
    virtual void cancelLoading() = 0;
};
