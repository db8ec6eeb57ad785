#include "platform_ui/pdf/PdfPage.h"

#include <QCoreApplication>
#include <QPainter>
#include <QThread>
#include <atomic>
#include <cerrno>
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

// The thread of the application's event loop, which must never wait for a page check.
bool onGuiThread() {
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

QByteArray toByteArray(const plat::Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

}  // namespace

PdfPage::~PdfPage() {
    // A page QtPdf never opened has nothing to close (an issue's pages mostly go unopened).
    if (isPdfPage() && openedInEngine_.load(std::memory_order_acquire))
        PdfEngine::forget(pageId_);
}

Ref<PdfPage> PdfPage::fromData(QByteArray bytes, Ref<plat::Error>* error) {
    if (auto failed =
            checkHeadAndTail(bytes.left(kHeaderWindow + 5), bytes.right(kTrailerWindow))) {
        if (error)
            *error = failed;
        return nullptr;
    }
    auto page = std::make_shared<PdfPage>();
    page->pageId_ = nextPageId();
    page->bytes_ = std::move(bytes);
    return page;
}

Ref<PdfPage> PdfPage::fromFile(const std::filesystem::path& path, Ref<plat::Error>* error) {
    const auto fail = [&](Ref<plat::Error> failed) -> Ref<PdfPage> {
        if (error)
            *error = std::move(failed);
        return nullptr;
    };
    auto page = std::make_shared<PdfPage>();
    page->pageId_ = nextPageId();
    page->path_ = path;
    auto identity = PdfPageCheck::fileIdentity(path);
    if (!identity)
        return fail(pageError(2, "Cannot read " + path.string()));
    page->identity_ = std::move(*identity);
    // A file checked before is known without opening it: its size, or why it cannot be used.
    if (const auto verdict = PdfPageCheck::keptVerdict(path, page->identity_)) {
        page->apply(*verdict, std::nullopt);
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
    return page;
}

Ref<PdfPage> PdfPage::fromCheckedFile(std::filesystem::path path,
                                      const PdfPageCheck::Verdict& verdict, std::string identity) {
    auto page = std::make_shared<PdfPage>();
    page->pageId_ = nextPageId();
    page->path_ = std::move(path);
    page->apply(verdict, std::move(identity));
    return page;
}

bool PdfPage::isUnchangedFile(const std::filesystem::path& path) const {
    return !path_.empty() && path_ == path && PdfPageCheck::fileIdentity(path) == identity();
}

std::string PdfPage::identity() const {
    std::lock_guard lock(mutex_);
    return identity_;
}

QByteArray PdfPage::dataRepresentation() const {
    if (!bytes_.isEmpty() || path_.empty())
        return bytes_;
    const auto bytes = plat::AtomicFile::read(path_, kMaxPageFileBytes);
    return bytes ? toByteArray(*bytes) : QByteArray();
}

Ref<PdfPage> PdfPage::fromImage(const QImage& image) {
    auto page = std::make_shared<PdfPage>();
    page->pageId_ = nextPageId();
    page->image_ = image.isNull() ? QImage(1, 1, QImage::Format_ARGB32) : image;
    page->mediaBox_ = QRectF(0, 0, page->image_.width(), page->image_.height());
    page->parsed_ = true;
    return page;
}

std::optional<PdfPageCheck::Verdict> PdfPage::knownVerdict() const {
    if (!path_.empty())
        return PdfPageCheck::keptVerdict(path_);
    return PdfPageCheck::knownDataVerdict(bytes_.constData(), static_cast<size_t>(bytes_.size()));
}

bool PdfPage::needsCheck() const {
    return isPdfPage() && !isParsed() && !knownVerdict();
}

bool PdfPage::parse() {
    return parse(true);
}

bool PdfPage::parseIfChecked() {
    return parse(false);
}

bool PdfPage::parse(bool mayCheck) {
    {
        std::lock_guard lock(mutex_);
        if (parsed_)
            return !error_;
    }
    if (!isPdfPage())
        return true;
    // Every PDF is opened and drawn once in a child process before QtPdf opens it here. The GUI
    // thread never waits for the check of a file: such a page stays unparsed for a worker. The
    // verdict taken is of the file as it is now: renders then hold it to that.
    std::optional<std::string> identity;
    std::optional<PdfPageCheck::Verdict> verdict;
    if (path_.empty()) {
        verdict =
            PdfPageCheck::knownDataVerdict(bytes_.constData(), static_cast<size_t>(bytes_.size()));
    } else if ((identity = PdfPageCheck::fileIdentity(path_))) {
        verdict = PdfPageCheck::keptVerdict(path_, *identity);
    } else {
        verdict = PdfPageCheck::keptVerdict(path_);  // a file that cannot be read: not usable
    }
    if (!verdict && (!mayCheck || (!path_.empty() && onGuiThread())))
        return false;
    if (!verdict) {
        verdict = path_.empty() ? PdfPageCheck::checkData(bytes_.constData(),
                                                          static_cast<size_t>(bytes_.size()))
                                : PdfPageCheck::check(path_);
        if (!path_.empty())
            identity = PdfPageCheck::fileIdentity(path_);
    }
    return apply(*verdict, std::move(identity));
}

bool PdfPage::apply(const PdfPageCheck::Verdict& verdict, std::optional<std::string> identity) {
    PdfEngine::PageInfo info;
    if (!verdict.usable)
        info.error = pageError(102, "The page file is damaged: " + verdict.reason);
    else if (verdict.hasSize())
        info.size = QSizeF(verdict.width, verdict.height);
    else {  // the checker could not be run: QtPdf itself tells the size
        openedInEngine_.store(true, std::memory_order_release);
        info = PdfEngine::inspect(pageId_, {bytes_, path_});
    }
    std::lock_guard lock(mutex_);
    if (parsed_)
        return !error_;
    parsed_ = true;
    if (identity)
        identity_ = std::move(*identity);
    if (!info.error && (info.size.width() < kMinSide || info.size.height() < kMinSide ||
                        info.size.width() > kMaxSide || info.size.height() > kMaxSide)) {
        error_ = pageError(101, "The page's sides lie outside 3 to 14,400 points");
    } else {
        error_ = info.error;
    }
    if (error_) {
        VND_TRACE("Error", "Cannot use PDF page %llu: %s", static_cast<unsigned long long>(pageId_),
                  error_->localizedDescription().c_str());
        mediaBox_ = QRectF(QPointF(0, 0), estimate_);
        cropBox_.reset();
        return false;
    }
    mediaBox_ = QRectF(QPointF(0, 0), info.size);
    if (cropBox_)
        cropBox_ = cropBox_->intersected(mediaBox_);
    if (pendingBounds_)
        setCropBoxLocked(*std::exchange(pendingBounds_, std::nullopt));
    applyInsetsLocked();
    return true;
}

void PdfPage::refuseChangedFile() {
    std::lock_guard lock(mutex_);
    if (error_)
        return;
    error_ = pageError(103, "The page file changed after it was checked: " + path_.string());
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
    std::lock_guard lock(mutex_);
    pendingInsets_ += insets;
    if (parsed_ && !error_)
        applyInsetsLocked();
}

void PdfPage::applyInsetsLocked() {
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

bool PdfPage::isParsed() const {
    std::lock_guard lock(mutex_);
    return parsed_;
}

Ref<plat::Error> PdfPage::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

QRectF PdfPage::boundsForBox(Box box) {
    parse();
    std::lock_guard lock(mutex_);
    if (!parsed_)
        return QRectF(QPointF(0, 0), estimate_);  // its file waits for its check
    return box == CropBox && cropBox_ ? *cropBox_ : mediaBox_;
}

void PdfPage::setBounds(const QRectF& bounds, Box box) {
    if (box != CropBox)
        return;
    parse();
    std::lock_guard lock(mutex_);
    if (!parsed_)
        pendingBounds_ = bounds;
    else
        setCropBoxLocked(bounds);
}

void PdfPage::setCropBoxLocked(const QRectF& bounds) {
    const QRectF cut = bounds.normalized().intersected(mediaBox_);
    if (cut.isEmpty()) {
        VND_TRACE("Error", "Crop box outside the page; the whole page is shown");
        cropBox_.reset();
        return;
    }
    cropBox_ = cut;
}

QSizeF PdfPage::displaySize() const {
    std::lock_guard lock(mutex_);
    if (!parsed_)
        return estimate_;
    return (cropBox_ ? *cropBox_ : mediaBox_).size();
}

void PdfPage::setEstimatedSize(const QSizeF& size) {
    std::lock_guard lock(mutex_);
    if (!size.isEmpty())
        estimate_ = size;
}

QImage PdfPage::drawnPlaceholder(const QSize& size) const {
    if (!placeholder_.isNull())
        return placeholder_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xE0, 0xE0, 0xE0));
    return image;
}

QImage PdfPage::image(const QSize& size) {
    if (size.isEmpty())
        return {};
    parse();
    if (!isParsed())
        return drawnPlaceholder(size);  // its file waits for its check
    return render(size, QRect(QPoint(0, 0), size));
}

QImage PdfPage::render(const QSize& fullSize, const QRect& clip) {
    if (fullSize.isEmpty())
        return {};
    const QRect part = clip.isNull() ? QRect(QPoint(0, 0), fullSize) : clip;
    if (isImagePage())
        return image_.scaled(fullSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).copy(part);
    if (!parseIfChecked()) {
        if (!isParsed())
            return {};  // waits for its check
        return drawnPlaceholder(fullSize).copy(part);
    }
    // The crop box fills `fullSize`: render the media box at the matching scale and take the
    // crop box's part of it.
    QRectF media, crop;
    {
        std::lock_guard lock(mutex_);
        media = mediaBox_;
        crop = cropBox_ ? *cropBox_ : mediaBox_;
    }
    const double sx = fullSize.width() / crop.width(), sy = fullSize.height() / crop.height();
    const QSize mediaPixels(qRound(media.width() * sx), qRound(media.height() * sy));
    const QPoint cropOrigin(qRound(crop.x() * sx),
                            qRound((media.height() - crop.y() - crop.height()) * sy));
    // The check was of the file as it was when the page was made: one changed since (by
    // anything but this program) is never handed to QtPdf unchecked.
    if (!path_.empty() && PdfPageCheck::fileIdentity(path_) != identity()) {
        refuseChangedFile();
        return drawnPlaceholder(fullSize).copy(part);
    }
    openedInEngine_.store(true, std::memory_order_release);
    QImage out =
        PdfEngine::render(pageId_, {bytes_, path_}, mediaPixels, part.translated(cropOrigin));
    if (out.isNull())
        return drawnPlaceholder(fullSize).copy(part);
    // QtPdf's pages come with straight alpha, which the view can only draw through Qt's slow
    // general path; premultiplied, a page is blended onto the screen directly. Converted here, on
    // the render worker, in place.
    if (out.format() == QImage::Format_ARGB32)
        out.convertTo(QImage::Format_ARGB32_Premultiplied);
    return out;
}

}  // namespace ui
