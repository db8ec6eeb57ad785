#pragma once
// ui::PdfPageCheck: each downloaded page file is opened and drawn once by the small program
// varnel-pdf-check (built with this kit) before the reader uses it, under a limit of processor
// time and a memory limit. QtPdf loops for ever on a page tree that points back at itself and
// may take a gigabyte for one content stream; in a child process that costs at most kTimeLimit
// of its processor time, however busy the machine is. The verdict, with the page's size, is kept
// beside the file ("<file>.pdfcheck") while the file stays the same, so each file is checked
// once and a reader that opens it later learns its size without opening it. A file is the same
// while its identity is: its size and modification time, and what no one can set back, its inode
// and its status-change time (a file rewritten in place, or another one moved there, with its
// size and time made as before, is another file). Only the checker's own crash (SIGSEGV, SIGBUS,
// SIGILL, SIGFPE, SIGABRT, SIGSYS, SIGTRAP) refuses the page. A check stopped at its limit of
// processor time, or ended from outside by any other signal (Ctrl-C in the terminal, a logout,
// a shutdown), gives no verdict and keeps none: a busy machine or a member's keys must never
// mark a good page damaged; the file is checked again when it is next asked for.
//
// Pages held in memory are checked the same way through a private temporary file; their
// verdicts are remembered in this process by the bytes' digest.
//
// check() and checkData() wait for the child: they are for worker threads (the reader's page files
// are checked on their issue's checking queue as they arrive; a page no one checked is checked on
// the render cache's checking queue before its first render; never on the GUI thread or the
// render worker). Two checks of one file at once run one child. keptVerdict() never runs the
// child. The program's end stops every check under way (stopChecks); a child never outlives the
// thread that started it and waits for it, even when the program is killed outright.
//
// The program is found through $VARNEL_PDF_CHECK, then beside the running program, then where
// the build put it. When it cannot be run at all the page is used unchecked (logged).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ui {

class PdfPageCheck {
  public:
    // The child's processor time; it is stopped when it has used that much. Heavy vector pages
    // (slides of tens of thousands of shapes) cost up to a third of it with every core busy:
    // a machine half as fast still checks them within it.
    static constexpr std::chrono::seconds kTimeLimit{15};
    // A child that has not ended after this much real time (stopped, or waiting on something
    // for ever) is killed; that verdict is not kept, since a busy machine may be the cause.
    static constexpr std::chrono::seconds kWallLimit{60};
    static constexpr uint64_t kMemoryLimit = uint64_t{512} << 20;
    // The longer side of the checking drawing, in pixels.
    static constexpr double kThumbnailSide = 96;

    struct Verdict {
        bool usable = true;
        std::string reason;  // why not
        // The first page's size in points, when usable and known (0 when the checker could not
        // be run).
        double width = 0, height = 0;
        bool hasSize() const { return width > 0 && height > 0; }
        bool operator==(const Verdict&) const = default;
    };
    // The kept verdict for the file, or the checker's (then kept). Waits for the child.
    static Verdict check(const std::filesystem::path& page);
    // The kept verdict for the file as it is now (a file that cannot be read needs none: it is
    // not usable); nothing when it has not been checked (or its check gave no verdict) or has
    // changed since. Never runs the child.
    static std::optional<Verdict> keptVerdict(const std::filesystem::path& page);
    // As keptVerdict, for the file as fileIdentity found it just now.
    static std::optional<Verdict> keptVerdict(const std::filesystem::path& page,
                                              const std::string& identity);
    // The verdict for a page's bytes held in memory, checked once in this process (a check
    // stopped at its limit gives none, and is not remembered).
    static Verdict checkData(const char* data, size_t size);
    static std::optional<Verdict> knownDataVerdict(const char* data, size_t size);
    static std::filesystem::path verdictPath(const std::filesystem::path& page);
    // The file's size, modification time, inode and status-change time as text; nothing when it
    // cannot be read.
    static std::optional<std::string> fileIdentity(const std::filesystem::path& page);
    // Files whose identity was taken (stat-ed) by this process so far.
    static uint64_t identitiesTaken();
    static std::filesystem::path program();
    // The checker finds the number of the process that started it here: one whose parent is
    // another by the time it starts (the starter already gone) ends at once.
    static constexpr const char* kStarterVariable = "VARNEL_PDF_CHECK_STARTER";
    // Checker processes started by this process so far.
    static uint64_t checksRun();

    // Checks asked for and not over (queued, running, or their outcome being kept): a caller
    // holds one from when it asks for such work until the work is over or skipped, and the
    // program's end waits for it.
    using Pending = std::shared_ptr<const void>;
    static Pending pending();
    // The program's end: stops the checks under way (their children are killed, their askers get
    // a verdict that is not usable and not kept) and those that start meanwhile, until no check
    // is pending.
    static void stopChecks();

    // Where PDF readers look: the header starts within the first kHeaderWindow bytes (anything
    // before it is skipped). QtPdf ignores anything after the end marker; a file without one is a
    // download cut short, so the marker is still asked for, within a bounded read of the end.
    static constexpr size_t kHeaderWindow = 1024;
    static constexpr size_t kTrailerWindow = size_t{1} << 20;
    // Why the first bytes (kHeaderWindow and the header's length) and the last kTrailerWindow
    // bytes are not those of a whole PDF; nothing when they are.
    static std::optional<std::string> headAndTailProblem(std::string_view head,
                                                         std::string_view tail) {
        const size_t at = head.find("%PDF-");
        const bool header = at != std::string_view::npos && at <= kHeaderWindow;
        if (header && tail.find("%%EOF") != std::string_view::npos)
            return std::nullopt;
        return head.empty() ? "The data is empty"
               : !header    ? "The data does not start as a PDF document"
                            : "The PDF document is cut short (no %%EOF)";
    }
};

}  // namespace ui
