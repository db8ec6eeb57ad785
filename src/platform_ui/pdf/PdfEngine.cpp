#include "platform_ui/pdf/PdfEngine.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <list>
#include <memory>
#include <mutex>
#include <utility>

namespace ui {
namespace {

// One page's PDF is never this large.
constexpr size_t kMaxFileBytes = size_t{1} << 30;

struct OpenDocument {
    uint64_t pageId = 0;
    // The page's bytes held in memory, or its file: QtPdf reads from the file only the parts it
    // needs, as it needs them.
    std::unique_ptr<QByteArray> bytes;
    std::unique_ptr<QIODevice> device;
    std::unique_ptr<QPdfDocument> document;
    QPdfDocument::Error error = QPdfDocument::Error::None;
    bool unreadable = false;  // the page's file could not be read
};

struct Engine {
    std::recursive_mutex mutex;
    std::list<OpenDocument> open;  // most recent first
    // QtPdf sets its renderer up when its first document is made and tears it down when its last
    // one goes, scanning the system's fonts each time (about a millisecond before the next
    // render). An empty document kept while the application runs keeps it set up between issues.
    std::unique_ptr<QPdfDocument> keepsRendererUp;
    int peak = 0;
    bool closeRegistered = false;  // with the application that runs now
    bool opensWithApplications = false;
    bool ended = false;  // the application has gone: nothing opens until another is made
};

Engine& engine() {
    static Engine e;
    return e;
}

// QtPdf's own state does not outlive the application: the documents still open (pages kept to
// the end of the program) are closed while the application goes.
void closeAllDocuments() {
    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    e.open.clear();
    e.keepsRendererUp.reset();
    e.ended = true;
    e.closeRegistered = false;  // the application drops its closing routines as it runs them
}

// A process may make one application after another (the tests do): each opens the engine again,
// from its constructor, and has it close again as it goes.
void openWithApplication() {
    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    e.ended = false;
}

const char* reasonFor(QPdfDocument::Error error) {
    switch (error) {
        case QPdfDocument::Error::FileNotFound:
            return "The file was not found";
        case QPdfDocument::Error::InvalidFileFormat:
            return "The data is not a PDF document QtPdf can read";
        case QPdfDocument::Error::IncorrectPassword:
            return "The PDF document is encrypted";
        case QPdfDocument::Error::UnsupportedSecurityScheme:
            return "The PDF document uses an unsupported security scheme";
        case QPdfDocument::Error::DataNotYetAvailable:
            return "The PDF document is incomplete";
        default:
            return "The PDF document could not be read";
    }
}

// The open document of the page, opened now when it is not (the engine's lock is held).
OpenDocument& documentFor(uint64_t pageId, const PdfEngine::Source& source) {
    Engine& e = engine();
    if (!e.closeRegistered && QCoreApplication::instance()) {
        if (!std::exchange(e.opensWithApplications, true))
            qAddPreRoutine(openWithApplication);  // for the applications made after this one
        qAddPostRoutine(closeAllDocuments);
        e.closeRegistered = true;
        e.keepsRendererUp = std::make_unique<QPdfDocument>();
        e.keepsRendererUp->moveToThread(nullptr);
    }
    for (auto it = e.open.begin(); it != e.open.end(); ++it) {
        if (it->pageId == pageId) {
            e.open.splice(e.open.begin(), e.open, it);
            return e.open.front();
        }
    }
    while (static_cast<int>(e.open.size()) >= PdfEngine::kMaxOpenDocuments)
        e.open.pop_back();
    OpenDocument d;
    d.pageId = pageId;
    if (!source.bytes.isEmpty() || source.path.empty()) {
        d.bytes = std::make_unique<QByteArray>(source.bytes);
        d.device = std::make_unique<QBuffer>(d.bytes.get());
        d.device->open(QIODevice::ReadOnly);
    } else {
        d.device = std::make_unique<QFile>(QString::fromStdString(source.path));
        d.unreadable = !d.device->open(QIODevice::ReadOnly) ||
                       static_cast<uint64_t>(d.device->size()) > kMaxFileBytes;
    }
    d.document = std::make_unique<QPdfDocument>();
    d.document->load(d.device.get());
    d.error = d.document->status() == QPdfDocument::Status::Ready ? QPdfDocument::Error::None
              : d.document->error() == QPdfDocument::Error::None
                  ? QPdfDocument::Error::DataNotYetAvailable
                  : d.document->error();
    // Used from whichever thread holds the lock; no events are involved.
    d.document->moveToThread(nullptr);
    d.device->moveToThread(nullptr);
    e.open.push_front(std::move(d));
    e.peak = std::max(e.peak, static_cast<int>(e.open.size()));
    return e.open.front();
}

}  // namespace

PdfEngine::PageInfo PdfEngine::inspect(uint64_t pageId, const Source& source) {
    std::lock_guard lock(engine().mutex);
    PageInfo info;
    if (engine().ended) {
        info.error =
            plat::Error::withDescription("PdfPageErrorDomain", 103, "The application has ended");
        return info;
    }
    OpenDocument& d = documentFor(pageId, source);
    if (d.unreadable) {
        info.error = plat::Error::withDescription("PdfPageErrorDomain", 102,
                                                  "The page's file cannot be read");
        return info;
    }
    if (d.error != QPdfDocument::Error::None) {
        info.error = plat::Error::withDescription("PdfPageErrorDomain", static_cast<int>(d.error),
                                                  reasonFor(d.error));
        return info;
    }
    if (d.document->pageCount() < 1) {
        info.error = plat::Error::withDescription("PdfPageErrorDomain", 100,
                                                  "The PDF document has no pages");
        return info;
    }
    info.size = d.document->pagePointSize(0);
    return info;
}

QImage PdfEngine::render(uint64_t pageId, const Source& source, const QSize& fullSize,
                         const QRect& clip) {
    std::lock_guard lock(engine().mutex);
    if (engine().ended)
        return {};
    OpenDocument& d = documentFor(pageId, source);
    if (d.error != QPdfDocument::Error::None || d.document->pageCount() < 1 || fullSize.isEmpty())
        return {};
    if (clip.isNull() || clip == QRect(QPoint(0, 0), fullSize))
        return d.document->render(0, fullSize);
    QPdfDocumentRenderOptions options;
    options.setScaledSize(fullSize);
    options.setScaledClipRect(clip);
    return d.document->render(0, clip.size(), options);
}

void PdfEngine::forget(uint64_t pageId) {
    std::lock_guard lock(engine().mutex);
    engine().open.remove_if([&](const OpenDocument& d) { return d.pageId == pageId; });
}

int PdfEngine::openDocuments() {
    std::lock_guard lock(engine().mutex);
    return static_cast<int>(engine().open.size());
}

int PdfEngine::peakOpenDocuments() {
    std::lock_guard lock(engine().mutex);
    return engine().peak;
}

}  // namespace ui
