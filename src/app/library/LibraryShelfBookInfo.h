#pragma once
// LibraryShelfBookInfo: what the shelf hands each cell: the item, the shelf it lies on, whether
// the shelf is in return mode, and an initial download display. Plain values.
// LibraryShelfCell: what the shelf needs of the cell last clicked: its item and its download
// display. The grid's cell (a plat::Object) implements it; tests use a recording one.
#include "platform/core/Object.h"

class VnMagazineIssueInfo;

class LibraryShelfBookInfo : public plat::Object {
    PLAT_CLASS(LibraryShelfBookInfo)
  public:
    bool removeMode = false;
    bool isBook = false;
    bool isLoading = false;
    float current = 0;
    Ref<VnMagazineIssueInfo> magazineIssueInfo;
};

class LibraryShelfCell {
  public:
    virtual ~LibraryShelfCell() = default;
    // The item shown; null without one.
    virtual Ref<VnMagazineIssueInfo> magazienIssueInfo() const = 0;
    // Shows or hides the progress bar and the stop button.
    virtual void setDownloadMode(bool downloadMode) = 0;
    virtual void setDownloadProgressValue(double value) = 0;
    // Whether the cell shows on screen now (a grid hides the cells it keeps for reuse).
    virtual bool isOnScreen() const { return true; }
};
