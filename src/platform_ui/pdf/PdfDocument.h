#pragma once
// ui::PdfDocument: the reader's document, an ordered list of pages (each usually the only page of
// its own PDF). Out-of-range indexes have no effect; indexForPage of an absent page is -1.
// Views listen for changes through addChangeObserver: one notice a change (a replaced page is one),
// saying which slot changed and how, so that a page replaced by one of the same size moves nothing.
#include <QByteArray>
#include <functional>
#include <vector>

#include "platform_ui/pdf/PdfPage.h"

namespace ui {

class PdfDocument : public plat::Object {
    PLAT_CLASS(PdfDocument)
  public:
    PdfDocument() = default;
    // A document of the first page of the PDF; null, with an error, when the bytes are not one.
    static Ref<PdfDocument> fromData(const QByteArray& bytes, Ref<plat::Error>* error = nullptr);
    static Ref<PdfDocument> fromFile(const std::filesystem::path& path,
                                     Ref<plat::Error>* error = nullptr);

    int pageCount() const { return static_cast<int>(pages_.size()); }
    Ref<PdfPage> pageAtIndex(int index) const;
    // An index from 0 to pageCount (appending); others and a null page do nothing.
    void insertPage(const Ref<PdfPage>& page, int index);
    void removePageAtIndex(int index);
    // Puts the page in the slot of the one at the index (one change); out of range, a null page,
    // or the same page, nothing.
    void replacePageAtIndex(int index, const Ref<PdfPage>& page);
    int indexForPage(const PdfPage* page) const;
    int indexForPage(const Ref<PdfPage>& page) const { return indexForPage(page.get()); }

    struct Change {
        enum Kind { Inserted, Removed, Replaced };
        Kind kind;
        int index;
        // Whether the slot's shown size (PdfPage::displaySize) changed; always for an inserted
        // or removed page.
        bool sizeChanged;
    };
    using ChangeObserver = std::function<void(const Change&)>;
    int addChangeObserver(ChangeObserver observer);
    void removeChangeObserver(int token);

  private:
    void changed(const Change& change);
    std::vector<Ref<PdfPage>> pages_;
    std::vector<std::pair<int, ChangeObserver>> observers_;
    int nextToken_ = 1;
};

}  // namespace ui
