#pragma once
// ui::PdfPageRenderer: draws and checks pages from what they hold. A page is plain data owned by
// the thread of its document; what a render or a check needs is taken from it there (`Input`, a
// value), the work runs on any thread from that alone (the render cache's worker renders, its
// checking queue checks), and the outcome goes back to the page on its own thread
// (PdfPage::applyCheck, PdfPage::refuseChangedFile).
//
// Every PDF is opened and drawn once in a child process (PdfPageCheck) before QtPdf opens it
// here: render() never opens a page that was not checked, and never a file that changed since its
// check, or whose own kept check does not give the verdict a record gave its page (it gives the
// placeholder and says so).
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <memory>
#include <optional>
#include <string>

#include "platform_ui/pdf/PdfPage.h"

namespace ui {

class PdfPageRenderer {
  public:
    struct Input {
        uint64_t pageId = 0;
        std::shared_ptr<const PdfPage::Source> source;  // null for an image page
        QImage image;                                   // an image page's image
        std::string identity;                           // the file's identity at its check
        std::optional<PdfPageCheck::Verdict> recorded;  // PdfPage::recordedVerdict
        bool checked = false;
        bool usable = true;
        QRectF mediaBox, cropBox;
        QImage placeholder;
    };
    struct Rendered {
        QImage image;
        // The page's file is not as its check found it: the image is the placeholder, and the
        // page is to be refused (PdfPage::refuseChangedFile).
        bool fileChanged = false;
        // QtPdf's render, still to be laid on its paper (only when asked to leave it).
        bool needsPaper = false;
    };
    enum class Paper { Laid, LeftToCaller };

    // On the page's thread.
    static Input inputOf(const PdfPage& page);
    // The part `clip` (pixels, y-down; null: all) of the crop box drawn at `fullSize`: a null
    // image for a page waiting for its check, the placeholder for one that cannot be drawn.
    // QtPdf's renders come laid on their paper, or, left to the caller, as QtPdf made them (the
    // caller then lays them on it with layOnPaper).
    static Rendered render(const Input& input, const QSize& fullSize, const QRect& clip,
                           Paper paper = Paper::Laid);
    // Checks the page's PDF: the kept verdict, else the checker's (waits for the child: never on
    // the GUI thread), and QtPdf's size when the checker could not be run.
    static PdfPage::Check check(const Input& input);
    // QtPdf leaves what a page does not draw transparent, with straight alpha, and every view
    // lays a page on white paper: laid on its paper here, in place, a render is opaque (RGB32),
    // and a view copies it to the screen instead of filling the paper and blending over it.
    static void layOnPaper(QImage& straightAlpha);

    // On the page's thread: the page drawn now at `size` (a page waiting for its check: its
    // placeholder; a file changed since its check refuses the page).
    static QImage image(PdfPage& page, const QSize& size);
    // On the page's thread: checks the page now unless it is checked, waiting for the child (for
    // tools and tests: the program's GUI thread never waits for a check); whether it can be
    // used.
    static bool checkNow(PdfPage& page);
};

}  // namespace ui
