// varnel-pdf-check FILE: opens a one-page PDF file and draws its first page at thumbnail size, as
// the reader would, so that the reader learns in a separate process whether QtPdf can use the
// file. Exit status 0: usable; 1: not usable, the reason on standard output; 2: wrong use. Its
// processor time and address space are bounded here (PdfPageCheck::kTimeLimit, kMemoryLimit).
#include <sys/resource.h>

#include <QCoreApplication>
#include <QImage>
#include <QPdfDocument>
#include <cstdio>

#include "platform_ui/pdf/PdfPageCheck.h"

namespace {

int damaged(const char* reason) {
    std::fputs(reason, stdout);
    std::fflush(stdout);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: varnel-pdf-check FILE\n", stderr);
        return 2;
    }
    // Processor time: a signal at the limit, the end a second later.
    const auto seconds = static_cast<rlim_t>(ui::PdfPageCheck::kTimeLimit.count());
    const rlimit processor{seconds, seconds + 1};
    ::setrlimit(RLIMIT_CPU, &processor);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // (A sanitizer's shadow memory alone passes any such bound.)
    const rlimit memory{ui::PdfPageCheck::kMemoryLimit, ui::PdfPageCheck::kMemoryLimit};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
    QCoreApplication application(argc, argv);
    QPdfDocument document;
    if (document.load(QString::fromLocal8Bit(argv[1])) != QPdfDocument::Error::None ||
        document.status() != QPdfDocument::Status::Ready)
        return damaged("QtPdf cannot open the file");
    if (document.pageCount() < 1)
        return damaged("the document has no pages");
    const QSizeF points = document.pagePointSize(0);
    if (points.isEmpty())
        return damaged("the page has no size");
    const double scale =
        ui::PdfPageCheck::kThumbnailSide / std::max(points.width(), points.height());
    const QSize pixels(std::max(1, qRound(points.width() * scale)),
                       std::max(1, qRound(points.height() * scale)));
    if (document.render(0, pixels).isNull())
        return damaged("the page cannot be drawn");
    return 0;
}
