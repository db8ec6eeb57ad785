#pragma once
// ui::PdfPageCheck: each downloaded page file is opened and drawn once by the small program
// varnel-pdf-check (built with this kit) before the reader uses it, under a limit of processor
// time and a memory limit. QtPdf loops for ever on a page tree that points back at itself and
// may take a gigabyte for one content stream; in a child process that costs at most kTimeLimit
// of its processor time, however busy the machine is. The verdict is kept beside the file
// ("<file>.pdfcheck") while the file stays the same (size and modification time), so each file
// is checked once.
//
// check() waits for the child: it is for worker threads. The GUI thread asks keptVerdict() only,
// which never runs the child (PdfPage leaves a page whose file is not checked yet to the render
// worker).
//
// The program is found through $VARNEL_PDF_CHECK, then beside the running program, then where
// the build put it. When it cannot be run at all the page is used unchecked (logged).
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace ui {

class PdfPageCheck {
  public:
    // The child's processor time; it is stopped when it has used that much.
    static constexpr std::chrono::seconds kTimeLimit{5};
    // A child that has not ended after this much real time (stopped, or waiting on something
    // for ever) is killed; that verdict is not kept, since a busy machine may be the cause.
    static constexpr std::chrono::seconds kWallLimit{60};
    static constexpr uint64_t kMemoryLimit = uint64_t{512} << 20;
    // The longer side of the checking drawing, in pixels.
    static constexpr double kThumbnailSide = 96;

    struct Verdict {
        bool usable = true;
        std::string reason;  // why not
    };
    // The kept verdict for the file, or the checker's (then kept). Waits for the child.
    static Verdict check(const std::filesystem::path& page);
    // The kept verdict for the file as it is now (a file that cannot be read needs none: it is
    // not usable); nothing when it has not been checked, or has changed since. Never runs the
    // child.
    static std::optional<Verdict> keptVerdict(const std::filesystem::path& page);
    static std::filesystem::path verdictPath(const std::filesystem::path& page);
    static std::filesystem::path program();
};

}  // namespace ui
