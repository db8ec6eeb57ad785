#pragma once
// DetailLoading: the item detail's count of the loadings shown over it. Each loading begun there
// (a row's action, another item shown, a change of member) moves the mark on, so that an action
// whose end comes late (an opening that ended without the reader) ends the loading only while it
// is still the one that action began, never a later action's.
#include <cstdint>

class DetailLoading {
  public:
    virtual ~DetailLoading() = default;
    virtual uint64_t loadingMark() const = 0;
};
