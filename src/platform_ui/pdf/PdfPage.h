#pragma once
// ui::PdfPage: one page of the reader's document, as plain data owned by the thread of its
// document (the GUI thread): the first page of a one-page PDF (bytes or a file), or an image at
// one point per pixel. A page neither checks, parses nor renders itself: PdfPageRenderer draws
// and checks from what a page hands it (PdfPageRenderer::Input), on any thread, and the outcome
// comes back to the page on its own thread (applyCheck, refuseChangedFile).
//
// A PDF page is known when it is made, or waits for its check: a page made from a file checked
// before (when it was downloaded) takes that check's size, or damage, without being opened; one
// made from a file or bytes no one checked looks only for "%PDF-" starting within its first
// 1,024 bytes and "%%EOF" within its last MiB (PDF readers skip what comes before the header and
// ignore what follows the marker), and reports an estimated size until its check is applied (the
// render cache has it checked before its first render). A page made from a file keeps only the
// path: the bytes are read while QtPdf has the page open, and only while the file is as it was
// when its check was taken (its identity, compared at each render): one changed since is
// refused, with its placeholder.
// Boxes are in y-up page space: the media box starts at (0, 0); the crop box is what is shown.
#include <QByteArray>
#include <QImage>
#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/core/Error.h"
#include "platform_ui/pdf/PdfEngine.h"
#include "platform_ui/pdf/PdfPageCheck.h"

namespace ui {

inline constexpr const char* kPdfPageErrorDomain = "PdfPageErrorDomain";

class PdfPage : public plat::Object {
    PLAT_CLASS(PdfPage)
  public:
    enum Box : int { MediaBox = 0, CropBox = 1 };
    // Pages whose sides lie outside this range (points) are refused.
    static constexpr double kMinSide = 3, kMaxSide = 14400;

    // Where a PDF page's bytes are; shared, unchanged, with the renders of the page in flight.
    // QtPdf's document of the page is closed when the last holder lets it go.
    struct Source {
        uint64_t pageId = 0;
        PdfEngine::Source pdf;
        mutable std::atomic<bool> openedInEngine{false};  // QtPdf may hold a document of it
        ~Source();
    };
    // What a check of the page's PDF found: its size in points, or why it cannot be used; and
    // the file's size and time it was taken on (a file page).
    struct Check {
        QSizeF size;
        Ref<plat::Error> error;
        std::optional<std::string> identity;
    };

    PdfPage() = default;
    // Null, with an error, when the bytes do not look like a PDF.
    static Ref<PdfPage> fromData(QByteArray bytes, Ref<plat::Error>* error = nullptr);
    // Takes the file's kept check when there is one, else looks at the file's start and end
    // only; null, with an error, when it cannot be read or does not look like a PDF.
    static Ref<PdfPage> fromFile(const std::filesystem::path& path,
                                 Ref<plat::Error>* error = nullptr);
    // A page of a file checked before, as a record of its check says it found it (`identity`: the
    // file's identity then, as PdfPageCheck::fileIdentity): nothing is read or stat-ed now; renders
    // hold the file to that identity and the file's own kept check to that verdict. A check that
    // could not tell the size (no checker) leaves the page waiting for QtPdf to tell it.
    static Ref<PdfPage> fromCheckedFile(std::string path, const PdfPageCheck::Verdict& verdict,
                                        std::string identity);
    static Ref<PdfPage> fromImage(const QImage& image);
    // What a verdict of the checker says of a page; nothing when it does not tell the size.
    static std::optional<Check> checkOfVerdict(const PdfPageCheck::Verdict& verdict);

    bool isImagePage() const { return !image_.isNull(); }
    // Whether the page's size, or why it cannot be used, is known (always for an image page).
    bool isChecked() const { return checked_; }
    // Whether the page waits for a check.
    bool needsCheck() const { return !checked_; }
    // Takes a check of the page's PDF (the first one only).
    void applyCheck(Check check);
    // The page's file is not the one checked: the page cannot be used from now on.
    void refuseChangedFile();
    // Whether the page was refused so: its file went or changed since its check.
    bool isRefusedChangedFile() const { return refusedChangedFile_; }
    // Whether the page is made from that file and the file is as it was at its check (and, for a
    // page made from a record, its own kept check says what the record said).
    bool isUnchangedFile(const std::filesystem::path& path) const;
    // Whether the file still has the identity its check found and, when a record gave the
    // verdict, the file's own kept check gives that verdict too.
    static bool isAsChecked(const std::filesystem::path& path, const std::string& identity,
                            const std::optional<PdfPageCheck::Verdict>& recorded);
    // Why the page cannot be used; null while it can (or waits for its check).
    Ref<plat::Error> error() const { return error_; }
    // Whether views draw it from a render; an image page and a page that cannot be used are
    // drawn as they are (the image, the placeholder).
    bool isRendered() const { return image_.isNull() && !(checked_ && error_); }

    // The box in page space (the estimate while the page waits for its check).
    QRectF boundsForBox(Box box) const;
    // The crop box is cut to the media box; one that misses it entirely falls back to the media
    // box (logged). The media box cannot be changed. Kept until the check while it is awaited.
    void setBounds(const QRectF& bounds, Box box);
    // Cuts the crop box by insets in points (QMarginsF: left, top, right, bottom; top is the
    // upper edge): at once when the page is checked, else when it is, so that making a page
    // never opens it. Non-finite insets are ignored.
    void insetCropBox(const QMarginsF& insets);
    // The shown size: the crop box's when known, else the estimate.
    QSizeF displaySize() const;
    void setEstimatedSize(const QSizeF& size);

    const std::string& label() const { return label_; }
    void setLabel(std::string label) { label_ = std::move(label); }

    // The PDF bytes (read from the page's file when it has one; empty for an image page or a
    // file that can no longer be read).
    QByteArray dataRepresentation() const;
    // The file of a page made from one; empty otherwise.
    std::filesystem::path filePath() const;
    // Where the page's PDF is; null for an image page.
    const std::shared_ptr<const Source>& source() const { return source_; }
    // The file's identity at the page's check (a checked file page).
    const std::string& identity() const { return identity_; }
    // The verdict a record gave a page made from it (fromCheckedFile), which the file's own kept
    // check must give too.
    const std::optional<PdfPageCheck::Verdict>& recordedVerdict() const { return recordedVerdict_; }
    const QImage& sourceImage() const { return image_; }
    const QImage& placeholderImage() const { return placeholder_; }
    void setPlaceholderImage(const QImage& image) { placeholder_ = image; }

    // A process-unique number (cache keys).
    uint64_t pageId() const { return pageId_; }

  private:
    static Ref<PdfPage> pdfPage(QByteArray bytes, std::string path);
    void applyInsets();
    void setCropBox(const QRectF& bounds);

    uint64_t pageId_ = 0;
    std::shared_ptr<const Source> source_;
    std::string identity_;  // the file's identity when its check was taken
    std::optional<PdfPageCheck::Verdict> recordedVerdict_;
    QImage image_;
    QImage placeholder_;
    std::string label_;
    bool checked_ = false;
    bool refusedChangedFile_ = false;
    Ref<plat::Error> error_;
    QRectF mediaBox_;
    std::optional<QRectF> cropBox_;
    QMarginsF pendingInsets_;
    std::optional<QRectF> pendingBounds_;  // asked while the page waited for its check
    QSizeF estimate_{595, 842};
};

}  // namespace ui
