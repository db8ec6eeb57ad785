#include "platform_ui/pdf/PdfPage.h"

#include <atomic>
#include <cmath>
#include <utility>

#include "platform/core/Log.h"
#include "platform/core/Property.h"
#include "platform/storage/AtomicFile.h"
#include "platform/storage/FileHandle.h"
#include "platform_ui/pdf/PdfEngine.h"
#include "platform_ui/pdf/PdfPageCheck.h"

PLAT_DEFINE_CLASS(ui::PdfPage, plat::Object, [](auto& c) {
    c.property("label", "T@\"NSString\",C,N", &ui::PdfPage::label, &ui::PdfPage::setLabel);
})

namespace ui {
namespace {

uint64_t nextPageId() {
    static std::atomic<uint64_t> next{1};
    return next++;
}

// One page's PDF is never this large.
constexpr size_t kMaxPageFileBytes = size_t{1} << 30;

constexpr size_t kHeaderWindow = PdfPageCheck::kHeaderWindow;
constexpr size_t kTrailerWindow = PdfPageCheck::kTrailerWindow;

Ref<plat::Error> pageError(int64_t code, const std::string& reason) {
    return plat::Error::withDescription(kPdfPageErrorDomain, code, reason);
}

// Whether the first bytes and the last kTrailerWindow bytes look like a whole PDF; the error when
// they do not.
Ref<plat::Error> checkHeadAndTail(const QByteArray& head, const QByteArray& tail) {
    const auto problem = PdfPageCheck::headAndTailProblem(
        std::string_view(head.constData(), static_cast<size_t>(head.size())),
        std::string_view(tail.constData(), static_cast<size_t>(tail.size())));
    return problem ? pageError(1, *problem) : nullptr;
}

QByteArray toByteArray(const plat::Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

}  // namespace

PdfPage::Source::~Source() {
    // A page QtPdf never opened has nothing to close (an issue's pages mostly go unopened).
    if (openedInEngine.load(std::memory_order_acquire))
        PdfEngine::forget(pageId);
}

Ref<PdfPage> PdfPage::pdfPage(QByteArray bytes, std::string path) {
    auto page = std::make_shared<PdfPage>();
    page->pageId_ = nextPageId();
    auto source = std::make_shared<Source>();
    source->pageId = page->pageId_;
    source->pdf = {std::move(bytes), std::move(path)};
    page->source_ = std::move(source);
    return page;
}

std::optional<PdfPage::Check> PdfPage::checkOfVerdict(const PdfPageCheck::Verdict& verdict) {
    if (!verdict.usable)
        return Check{{}, pageError(102, "The page file is damaged: " + verdict.reason), {}};
    if (verdict.hasSize())
        return Check{QSizeF(verdict.width, verdict.height), nullptr, {}};
    return std::nullopt;  // the checker could not be run: QtPdf itself tells the size
}

Ref<PdfPage> PdfPage::fromData(QByteArray bytes, Ref<plat::Error>* error) {
    if (auto failed =
            checkHeadAndTail(bytes.left(kHeaderWindow + 5), bytes.right(kTrailerWindow))) {
        if (error)
            *error = failed;
        return nullptr;
    }
    const auto verdict =
        PdfPageCheck::knownDataVerdict(bytes.constData(), static_cast<size_t>(bytes.size()));
    auto page = pdfPage(std::move(bytes), {});
    if (auto check = verdict ? checkOfVerdict(*verdict) : std::nullopt)
        page->applyCheck(std::move(*check));
    return page;
}

Ref<PdfPage> PdfPage::fromFile(const std::filesystem::path& path, Ref<plat::Error>* error) {
    const auto fail = [&](Ref<plat::Error> failed) -> Ref<PdfPage> {
        if (error)
            *error = std::move(failed);
        return nullptr;
    };
    auto identity = PdfPageCheck::fileIdentity(path);
    if (!identity)
        return fail(pageError(2, "Cannot read " + path.string()));
    // A file checked before is known without opening it: its size, or why it cannot be used.
    if (const auto verdict = PdfPageCheck::keptVerdict(path, *identity)) {
        auto page = pdfPage({}, path.string());
        if (auto check = checkOfVerdict(*verdict)) {
            check->identity = std::move(*identity);
            page->applyCheck(std::move(*check));
        }
        return page;
    }
    auto file = plat::FileHandle::openForReading(path);
    if (!file)
        return fail(pageError(2, "Cannot read " + path.string()));
    const uint64_t size = file->seekToEndOfFile();
    if (size > kMaxPageFileBytes)
        return fail(pageError(3, "The file is too large for one page: " + path.string()));
    file->seekToFileOffset(0);
    const auto head = file->readDataOfLength(kHeaderWindow + 5);
    file->seekToFileOffset(size > kTrailerWindow ? size - kTrailerWindow : 0);
    const auto tail = file->readDataOfLength(kTrailerWindow);
    if (!head || !tail)
        return fail(pageError(2, "Cannot read " + path.string()));
    if (auto failed = checkHeadAndTail(toByteArray(*head), toByteArray(*tail)))
        return fail(failed);
    return pdfPage({}, path.string());
}

Ref<PdfPage> PdfPage::fromCheckedFile(std::string path, const PdfPageCheck::Verdict& verdict,
                                      std::string identity) {
    auto page = pdfPage({}, std::move(path));
    page->recordedVerdict_ = verdict;
    if (auto check = checkOfVerdict(verdict)) {
        check->identity = std::move(identity);
        page->applyCheck(std::move(*check));
    }
    return page;
}

bool PdfPage::isUnchangedFile(const std::filesystem::path& path) const {
    if (!checked_ || !source_ || source_->pdf.path.empty())
        return false;
    // The same text, or (rarely) the same file written otherwise.
    const bool same =
        source_->pdf.path == path.native() || std::filesystem::path(source_->pdf.path) == path;
    return same && isAsChecked(path, identity_, recordedVerdict_);
}

bool PdfPage::isAsChecked(const std::filesystem::path& path, const std::string& identity,
                          const std::optional<PdfPageCheck::Verdict>& recorded) {
    return PdfPageCheck::fileIdentity(path) == identity &&
           (!recorded || PdfPageCheck::keptVerdict(path, identity) == recorded);
}

std::filesystem::path PdfPage::filePath() const {
    return source_ ? std::filesystem::path(source_->pdf.path) : std::filesystem::path();
}

QByteArray PdfPage::dataRepresentation() const {
    if (!source_)
        return {};
    if (!source_->pdf.bytes.isEmpty() || source_->pdf.path.empty())
        return source_->pdf.bytes;
    const auto bytes = plat::AtomicFile::read(source_->pdf.path, kMaxPageFileBytes);
    return bytes ? toByteArray(*bytes) : QByteArray();
}

Ref<PdfPage> PdfPage::fromImage(const QImage& image) {
    auto page = std::make_shared<PdfPage>();
    page->pageId_ = nextPageId();
    page->image_ = image.isNull() ? QImage(1, 1, QImage::Format_ARGB32) : image;
    page->mediaBox_ = QRectF(0, 0, page->image_.width(), page->image_.height());
    page->checked_ = true;
    return page;
}

void PdfPage::applyCheck(Check check) {
    if (checked_)
        return;
    checked_ = true;
    if (check.identity)
        identity_ = std::move(*check.identity);
    const QSizeF size = check.size;
    if (!check.error && (size.width() < kMinSide || size.height() < kMinSide ||
                         size.width() > kMaxSide || size.height() > kMaxSide)) {
        error_ = pageError(101, "The page's sides lie outside 3 to 14,400 points");
    } else {
        error_ = std::move(check.error);
    }
    if (error_) {
        VND_TRACE("Error", "Cannot use PDF page %llu: %s", static_cast<unsigned long long>(pageId_),
                  error_->localizedDescription().c_str());
        mediaBox_ = QRectF(QPointF(0, 0), estimate_);
        cropBox_.reset();
        return;
    }
    mediaBox_ = QRectF(QPointF(0, 0), size);
    if (cropBox_)
        cropBox_ = cropBox_->intersected(mediaBox_);
    if (pendingBounds_)
        setCropBox(*std::exchange(pendingBounds_, std::nullopt));
    applyInsets();
}

void PdfPage::refuseChangedFile() {
    if (error_)
        return;
    checked_ = true;
    refusedChangedFile_ = true;
    error_ = pageError(103, "The page file changed after it was checked: " +
                                (source_ ? source_->pdf.path : std::string()));
    VND_TRACE("Error", "Cannot use PDF page %llu: %s", static_cast<unsigned long long>(pageId_),
              error_->localizedDescription().c_str());
}

void PdfPage::insetCropBox(const QMarginsF& insets) {
    for (double v : {insets.left(), insets.top(), insets.right(), insets.bottom()}) {
        if (!std::isfinite(v)) {
            VND_TRACE("Error", "Page insets that are not finite are ignored");
            return;
        }
    }
    pendingInsets_ += insets;
    if (checked_ && !error_)
        applyInsets();
}

void PdfPage::applyInsets() {
    if (pendingInsets_.isNull())
        return;
    const QMarginsF m = pendingInsets_;
    pendingInsets_ = QMarginsF();
    const QRectF crop = cropBox_ ? *cropBox_ : mediaBox_;
    // Page space is y-up: the bottom inset raises the box's origin.
    const QRectF cut(crop.x() + m.left(), crop.y() + m.bottom(),
                     crop.width() - m.left() - m.right(), crop.height() - m.top() - m.bottom());
    const QRectF shown = cut.normalized().intersected(mediaBox_);
    if (!std::isfinite(cut.x() + cut.y() + cut.width() + cut.height()) || shown.isEmpty() ||
        cut.width() <= 0 || cut.height() <= 0) {
        VND_TRACE("Error", "Page insets leave nothing of the page; the whole page is shown");
        return;
    }
    cropBox_ = shown;
}

QRectF PdfPage::boundsForBox(Box box) const {
    if (!checked_)
        return QRectF(QPointF(0, 0), estimate_);  // it waits for its check
    return box == CropBox && cropBox_ ? *cropBox_ : mediaBox_;
}

void PdfPage::setBounds(const QRectF& bounds, Box box) {
    if (box != CropBox)
        return;
    if (!checked_)
        pendingBounds_ = bounds;
    else
        setCropBox(bounds);
}

void PdfPage::setCropBox(const QRectF& bounds) {
    const QRectF cut = bounds.normalized().intersected(mediaBox_);
    if (cut.isEmpty()) {
        VND_TRACE("Error", "Crop box outside the page; the whole page is shown");
        cropBox_.reset();
        return;
    }
    cropBox_ = cut;
}

QSizeF PdfPage::displaySize() const {
    if (!checked_)
        return estimate_;
    return (cropBox_ ? *cropBox_ : mediaBox_).size();
}

void PdfPage::setEstimatedSize(const QSizeF& size) {
    if (!size.isEmpty())
        estimate_ = size;
}

}  // namespace ui
