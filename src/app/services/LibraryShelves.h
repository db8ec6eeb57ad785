#pragma once
// LibraryShelves: what other areas ask of the member's library shelves: load them again (after a
// borrow, a return, a sign-in), stop what they are loading, and hear that the member has taken a
// loan. The library offers it.
class LibraryShelves {
  public:
    static constexpr const char* kSeamName = "LibraryShelves";
    virtual ~LibraryShelves() = default;

    // Both shelves update from the service; `force` updates even when an update ran lately.
    virtual void refreshShelves(bool force) = 0;
    virtual void cancelLoading() = 0;
    // The member has just taken a loan (a borrow, a read now, a claim). What the shelves asked the
    // service before it no longer changes them: a list of the member's loans taken before leaves
    // the new loan out, and its answer would take the loan out of the local library with its
    // files. The next refresh then starts afresh, also while an older forced one runs.
    virtual void loanTaken() = 0;
};
