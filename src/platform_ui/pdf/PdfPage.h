#pragma once
// ui::PdfPage: one page of the reader's document: the first page of a one-page PDF (bytes or a
// file), or an image at one point per pixel. A PDF page is checked only for "%PDF-" starting
// within its first 1,024 bytes and "%%EOF" within its last MiB when it is made (PDF readers skip
// what comes before the header and ignore what follows the marker). Before QtPdf opens it here,
// every PDF is opened and drawn once in a child process (PdfPageCheck): one that hangs, crashes or
// exhausts memory there is damaged, with the reason, and QtPdf never opens it here. That check also
// tells the page's size, and is kept: a page made from a file checked before (when it was
// downloaded) knows its size, or its damage, at once, without being opened. Until its check is
// known a page reports an estimated size. A page made from a file keeps only the path: the bytes
// are read while QtPdf has the page open. The GUI thread never waits for a file's check, and
// render() never runs one: the render cache has a page no one checked checked before it renders
// it.
// A page made from a file is rendered only while the file is as it was when the page was made
// (size and time, compared at each render): one changed since is refused, with its placeholder.
// Boxes are in y-up page space: the media box starts at (0, 0); the crop box is what is shown.
#include <QByteArray>
#include <QImage>
#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/core/Error.h"
#include "platform_ui/pdf/PdfPageCheck.h"

namespace ui {

inline constexpr const char* kPdfPageErrorDomain = "PdfPageErrorDomain";

class PdfPage : public plat::Object {
    PLAT_CLASS(PdfPage)
  public:
    enum Box : int { MediaBox = 0, CropBox = 1 };
    // Pages whose sides lie outside this range (points) are refused.
    static constexpr double kMinSide = 3, kMaxSide = 14400;

    PdfPage() = default;
    ~PdfPage() override;
    // Null, with an error, when the bytes do not look like a PDF.
    static Ref<PdfPage> fromData(QByteArray bytes, Ref<plat::Error>* error = nullptr);
    // Takes the file's kept check when there is one, else checks the file's start and end only;
    // null, with an error, when it cannot be read or does not look like a PDF.
    // A page of a file checked before, as its check found it (`identity`: the file's size and
    // time then, as PdfPageCheck::fileIdentity): nothing is read or stat-ed now; renders hold the
    // file to that identity.
    static Ref<PdfPage> fromCheckedFile(std::filesystem::path path,
                                        const PdfPageCheck::Verdict& verdict, std::string identity);
    static Ref<PdfPage> fromFile(const std::filesystem::path& path,
                                 Ref<plat::Error>* error = nullptr);
    static Ref<PdfPage> fromImage(const QImage& image);

    bool isImagePage() const { return !image_.isNull(); }
    // Parses the page now when it has not been (thread-safe), checking it first when its check
    // is not known; false when QtPdf cannot use it, or, on the GUI thread, while its file waits
    // for its check (the page then stays unparsed).
    bool parse();
    // As parse(), but never runs a check: false, unparsed, while one is needed.
    bool parseIfChecked();
    bool isParsed() const;
    // Whether the page waits for a check that has not been made (nor kept).
    bool needsCheck() const;
    // Whether the page is made from that file and the file is as it was then.
    bool isUnchangedFile(const std::filesystem::path& path) const;
    // The reason QtPdf could not use the page; null while it can (or has not been parsed).
    Ref<plat::Error> error() const;

    // The box in page space; parses the page first (the estimate while it stays unparsed).
    QRectF boundsForBox(Box box);
    // The crop box is cut to the media box; one that misses it entirely falls back to the media
    // box (logged). The media box cannot be changed.
    void setBounds(const QRectF& bounds, Box box);
    // Cuts the crop box by insets in points (QMarginsF: left, top, right, bottom; top is the
    // upper edge): at once when the page is parsed, else when it is, so that making a page
    // never opens it. Non-finite insets are ignored.
    void insetCropBox(const QMarginsF& insets);
    // The shown size: the crop box's when known, else the estimate.
    QSizeF displaySize() const;
    void setEstimatedSize(const QSizeF& size);

    const std::string& label() const { return label_; }
    void setLabel(std::string label) { label_ = std::move(label); }

    // The crop box rendered into an image of that size (synchronously, checking the page first
    // where parse() would); the placeholder for a page that cannot be drawn.
    QImage image(const QSize& size);
    // As image(), for the part `clip` of the crop box drawn at `fullSize` (pixels, y-down); a
    // null image while the page waits for its check; the placeholder (and the page refused from
    // then on) when its file changed since the page was made.
    QImage render(const QSize& fullSize, const QRect& clip);
    // The PDF bytes (read from the page's file when it has one; empty for an image page or a
    // file that can no longer be read).
    QByteArray dataRepresentation() const;
    // The file of a page made from one; empty otherwise.
    const std::filesystem::path& filePath() const { return path_; }
    const QImage& sourceImage() const { return image_; }
    const QImage& placeholderImage() const { return placeholder_; }
    void setPlaceholderImage(const QImage& image) { placeholder_ = image; }

    // A process-unique number (cache keys).
    uint64_t pageId() const { return pageId_; }

  private:
    bool parse(bool mayCheck);
    // Takes the check's verdict: the size, or why the page cannot be used.
    // Takes the check's verdict, of the file as `identity` found it when one is given.
    bool apply(const PdfPageCheck::Verdict& verdict, std::optional<std::string> identity);
    std::string identity() const;
    // The page's file is not the one checked: the page cannot be used from now on.
    void refuseChangedFile();
    std::optional<PdfPageCheck::Verdict> knownVerdict() const;
    QImage drawnPlaceholder(const QSize& size) const;
    // With the lock held, once the media box is known.
    void applyInsetsLocked();
    void setCropBoxLocked(const QRectF& bounds);
    bool isPdfPage() const { return !bytes_.isEmpty() || !path_.empty(); }

    uint64_t pageId_ = 0;
    std::atomic<bool> openedInEngine_{false};  // QtPdf may hold a document of the page
    QByteArray bytes_;
    std::filesystem::path path_;
    std::string identity_;  // the file's size and time when its verdict was taken
    QImage image_;
    QImage placeholder_;
    std::string label_;
    mutable std::mutex mutex_;
    bool parsed_ = false;
    Ref<plat::Error> error_;
    QRectF mediaBox_;
    std::optional<QRectF> cropBox_;
    QMarginsF pendingInsets_;
    std::optional<QRectF> pendingBounds_;  // asked while the page waited for its check
    QSizeF estimate_{595, 842};
};

}  // namespace ui
