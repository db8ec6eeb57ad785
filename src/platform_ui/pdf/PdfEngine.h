#pragma once
// ui::PdfEngine: QtPdf behind one lock (the PDF library is not thread-safe), with at most
// kMaxOpenDocuments documents open at once, least recently used closed first. A page's bytes are
// held in memory, or its file is kept open while its document is and QtPdf reads from it only the
// parts it needs.
#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSizeF>
#include <cstdint>
#include <string>

#include "platform/core/Error.h"

namespace ui {

class PdfEngine {
  public:
    static constexpr int kMaxOpenDocuments = 8;
    // Where a page's PDF comes from: the bytes, or (when they are empty) the file at `path` (a
    // plain text: an issue holds hundreds of them, and a filesystem path splits itself into its
    // parts when it is made).
    struct Source {
        QByteArray bytes;
        std::string path;
    };
    struct PageInfo {
        QSizeF size;  // points
        Ref<plat::Error> error;
    };
    // The first page's size, or why the bytes cannot be used.
    static PageInfo inspect(uint64_t pageId, const Source& source);
    // The first page at `fullSize` pixels, the part `clip` only (a null clip: all of it).
    static QImage render(uint64_t pageId, const Source& source, const QSize& fullSize,
                         const QRect& clip);
    static void forget(uint64_t pageId);
    // Documents open now, and the most ever open at once.
    static int openDocuments();
    static int peakOpenDocuments();
};

}  // namespace ui
