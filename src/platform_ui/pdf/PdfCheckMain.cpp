// varnel-pdf-check FILE: opens a one-page PDF file and draws its first page at thumbnail size, as
// the reader would, so that the reader learns in a separate process whether QtPdf can use the
// file. Exit status 0: usable, the first page's width and height in points on standard output;
// 1: not usable, the reason on standard output; 2: wrong use. Its
// processor time and address space are bounded here (PdfPageCheck::kTimeLimit, kMemoryLimit), and
// its peak resident memory is checked against the same limit at the end. It is built without the
// sanitizers even in their builds (see CMakeLists.txt), where an address-space bound could not
// hold otherwise. It never outlives the program that started it: it is killed when the thread
// that started it ends, and it ends at once (status 2) when its starter, named in
// $VARNEL_PDF_CHECK_STARTER, is already gone.
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <QCoreApplication>
#include <QImage>
#include <QPdfDocument>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform_ui/pdf/PdfPageCheck.h"

namespace {

int damaged(const char* reason) {
    std::fputs(reason, stdout);
    std::fflush(stdout);
    return 1;
}

// This process's peak resident memory in bytes (VmHWM), 0 when it cannot be read.
uint64_t peakResident() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (const char* starter = std::getenv(ui::PdfPageCheck::kStarterVariable);
        starter && std::to_string(::getppid()) != starter)
        return 2;  // no one waits for the verdict
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
    // What is not a whole PDF where readers look is refused before QtPdf sees it.
    {
        std::ifstream file(argv[1], std::ios::binary);
        std::string head(ui::PdfPageCheck::kHeaderWindow + 5, '\0');
        file.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<size_t>(file.gcount()));
        file.clear();
        file.seekg(0, std::ios::end);
        const auto size = static_cast<uint64_t>(std::max<std::streamoff>(0, file.tellg()));
        const uint64_t window = ui::PdfPageCheck::kTrailerWindow;
        file.seekg(static_cast<std::streamoff>(size > window ? size - window : 0));
        std::string tail(static_cast<size_t>(std::min(size, window)), '\0');
        file.read(tail.data(), static_cast<std::streamsize>(tail.size()));
        tail.resize(static_cast<size_t>(file.gcount()));
        if (const auto problem = ui::PdfPageCheck::headAndTailProblem(head, tail))
            return damaged(problem->c_str());
    }
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
    if (peakResident() > ui::PdfPageCheck::kMemoryLimit) {
        const std::string reason = "the check needed more than " +
                                   std::to_string(ui::PdfPageCheck::kMemoryLimit >> 20) +
                                   " MiB of memory";
        return damaged(reason.c_str());
    }
    std::printf("%.17g %.17g\n", points.width(), points.height());
    std::fflush(stdout);
    return 0;
}
