#pragma once
// ReaderHandOver: what the library shelves need of the reader window, so that the two sides can
// be written apart. The reader window controller registered at launch offers it; the shelves
// reach it through GlobalService::readerHandOver().
#include <string>

#include "platform/core/Message.h"
#include "platform/core/Ref.h"

class MagazineIssueUIContext;
namespace plat {
class Object;
}

// What the reader window tells the object it hands back to.
struct ReaderHandOverDelegate {
    static constexpr plat::Message<void()> kWillClose{"readerWindowControllerWillClose"};
};

class ReaderHandOver {
  public:
    virtual ~ReaderHandOver() = default;

    // The object told when the reader window closes (ReaderHandOverDelegate::kWillClose); not
    // retained.
    virtual void setDelegate(const Ref<plat::Object>& delegate) = 0;
    virtual void showWindow() = 0;
    // Opens an issue, in this order: the window title becomes the caption, the reader view takes
    // the UI context, the window shows, the reader is marked as displaying, and it goes to the
    // page (clamped to the issue's pages).
    virtual void openIssue(const Ref<MagazineIssueUIContext>& uiContext, const std::string& caption,
                           int pageIndex) = 0;
    // Whether the reader window shows, displaying that issue.
    virtual bool showsIssue(const Ref<MagazineIssueUIContext>& uiContext) const = 0;
};
