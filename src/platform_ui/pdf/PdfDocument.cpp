#include "platform_ui/pdf/PdfDocument.h"

#include <algorithm>

PLAT_DEFINE_CLASS(ui::PdfDocument, plat::Object, PLAT_NO_METHODS)

namespace ui {

Ref<PdfDocument> PdfDocument::fromData(const QByteArray& bytes, Ref<plat::Error>* error) {
    Ref<PdfPage> page = PdfPage::fromData(bytes, error);
    if (!page)
        return nullptr;
    auto document = std::make_shared<PdfDocument>();
    document->pages_.push_back(page);
    return document;
}

Ref<PdfDocument> PdfDocument::fromFile(const std::filesystem::path& path, Ref<plat::Error>* error) {
    Ref<PdfPage> page = PdfPage::fromFile(path, error);
    if (!page)
        return nullptr;
    auto document = std::make_shared<PdfDocument>();
    document->pages_.push_back(page);
    return document;
}

Ref<PdfPage> PdfDocument::pageAtIndex(int index) const {
    if (index < 0 || index >= pageCount())
        return nullptr;
    return pages_[static_cast<size_t>(index)];
}

void PdfDocument::insertPage(const Ref<PdfPage>& page, int index) {
    if (!page || index < 0 || index > pageCount())
        return;
    pages_.insert(pages_.begin() + index, page);
    changed({Change::Inserted, index, true});
}

void PdfDocument::removePageAtIndex(int index) {
    if (index < 0 || index >= pageCount())
        return;
    pages_.erase(pages_.begin() + index);
    changed({Change::Removed, index, true});
}

void PdfDocument::replacePageAtIndex(int index, const Ref<PdfPage>& page) {
    if (!page || index < 0 || index >= pageCount() || pages_[static_cast<size_t>(index)] == page)
        return;
    const bool resized = pages_[static_cast<size_t>(index)]->displaySize() != page->displaySize();
    pages_[static_cast<size_t>(index)] = page;
    changed({Change::Replaced, index, resized});
}

int PdfDocument::indexForPage(const PdfPage* page) const {
    const auto it = std::find_if(pages_.begin(), pages_.end(),
                                 [&](const Ref<PdfPage>& p) { return p.get() == page; });
    return page && it != pages_.end() ? static_cast<int>(it - pages_.begin()) : -1;
}

int PdfDocument::addChangeObserver(ChangeObserver observer) {
    observers_.emplace_back(nextToken_, std::move(observer));
    return nextToken_++;
}

void PdfDocument::removeChangeObserver(int token) {
    std::erase_if(observers_, [&](const auto& o) { return o.first == token; });
}

void PdfDocument::changed(const Change& change) {
    const auto observers = observers_;
    for (const auto& [token, observer] : observers) {
        if (observer)
            observer(change);
    }
}

}  // namespace ui
