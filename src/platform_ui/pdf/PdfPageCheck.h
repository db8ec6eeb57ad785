#pragma once
// ui::PdfPageCheck: each downloaded page file is opened and drawn once by the small program
// varnel-pdf-check (built with this kit) before the reader uses it, under a time limit and a
// memory limit. QtPdf hangs for ever on a page tree that points back at itself and may take a
// gigabyte for one content stream; in a child process that costs at most kTimeLimit, and no lock
// or thread of the reader waits longer. The verdict is kept beside the file ("<file>.pdfcheck")
// while the file stays the same (size and modification time), so each file is checked once.
//
// The program is found through $VARNEL_PDF_CHECK, then beside the running program, then where
// the build put it. When it cannot be run at all the page is used unchecked (logged).
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace ui {

class PdfPageCheck {
  public:
    static constexpr std::chrono::milliseconds kTimeLimit{5000};
    static constexpr uint64_t kMemoryLimit = uint64_t{512} << 20;
    // The longer side of the checking drawing, in pixels.
    static constexpr double kThumbnailSide = 96;

    struct Verdict {
        bool usable = true;
        std::string reason;  // why not
    };
    // The kept verdict for the file, or the checker's (then kept).
    static Verdict check(const std::filesystem::path& page);
    static std::filesystem::path verdictPath(const std::filesystem::path& page);
    static std::filesystem::path program();
};

}  // namespace ui
