#include "platform_ui/pdf/PdfPageRenderer.h"

#include <QColor>
#include <cstdint>
#include <cstring>

#include "platform_ui/pdf/PdfEngine.h"
#include "platform_ui/pdf/PdfPageCheck.h"

namespace ui {
namespace {

QImage drawnPlaceholder(const QImage& placeholder, const QSize& size) {
    if (!placeholder.isNull())
        return placeholder.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xE0, 0xE0, 0xE0));
    return image;
}

// One pixel of straight alpha laid on white: each channel c becomes 255 - (255 - c) * a / 255,
// rounded (red and blue side by side in one word, then green).
uint32_t onWhite(uint32_t pixel) {
    const uint32_t alpha = pixel >> 24;
    const uint32_t inverse = ~pixel;
    const auto scaled = [alpha](uint32_t pair) {
        uint32_t t = (pair & 0x00FF00FFu) * alpha + 0x00800080u;
        return ((t + ((t >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    };
    return ~(scaled(inverse) | (scaled(inverse >> 8) << 8)) | 0xFF000000u;
}

}  // namespace

// Pages are mostly drawn or left alone in runs: taken eight pixels at a time.
void PdfPageRenderer::layOnPaper(QImage& image) {
    if (!image.hasAlphaChannel()) {
        image.convertTo(QImage::Format_RGB32);
        return;
    }
    if (image.format() != QImage::Format_ARGB32)
        image.convertTo(QImage::Format_ARGB32);
    constexpr uint64_t kAlphas = 0xFF000000FF000000u;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            uint64_t words[4];
            std::memcpy(words, row + x, sizeof(words));
            const uint64_t all = words[0] & words[1] & words[2] & words[3];
            const uint64_t any = words[0] | words[1] | words[2] | words[3];
            if ((all & kAlphas) == kAlphas)
                continue;  // drawn: opaque already
            if ((any & kAlphas) == 0) {
                std::memset(row + x, 0xFF, 8 * sizeof(uint32_t));  // left alone: the paper
                continue;
            }
            for (int i = x; i < x + 8; ++i)
                row[i] = onWhite(row[i]);
        }
        for (; x < width; ++x)
            row[x] = onWhite(row[x]);
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
}

PdfPageRenderer::Input PdfPageRenderer::inputOf(const PdfPage& page) {
    Input input;
    input.pageId = page.pageId();
    input.source = page.source();
    input.image = page.sourceImage();
    input.identity = page.identity();
    input.recorded = page.recordedVerdict();
    input.checked = page.isChecked();
    input.usable = !page.error();
    input.mediaBox = page.boundsForBox(PdfPage::MediaBox);
    input.cropBox = page.boundsForBox(PdfPage::CropBox);
    input.placeholder = page.placeholderImage();
    return input;
}

PdfPageRenderer::Rendered PdfPageRenderer::render(const Input& input, const QSize& fullSize,
                                                  const QRect& clip, Paper paper) {
    if (fullSize.isEmpty())
        return {};
    const QRect part = clip.isNull() ? QRect(QPoint(0, 0), fullSize) : clip;
    if (!input.image.isNull()) {
        return {input.image.scaled(fullSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .copy(part)};
    }
    if (!input.checked || !input.source)
        return {};  // waits for its check
    if (!input.usable)
        return {drawnPlaceholder(input.placeholder, fullSize).copy(part)};
    // The crop box fills `fullSize`: render the media box at the matching scale and take the
    // crop box's part of it.
    const QRectF media = input.mediaBox, crop = input.cropBox;
    const double sx = fullSize.width() / crop.width(), sy = fullSize.height() / crop.height();
    const QSize mediaPixels(qRound(media.width() * sx), qRound(media.height() * sy));
    const QPoint cropOrigin(qRound(crop.x() * sx),
                            qRound((media.height() - crop.y() - crop.height()) * sy));
    // The check was of the file as it was then: one changed since (by anything but this
    // program) is never handed to QtPdf unchecked; nor one whose record was changed to match it
    // (the file's own kept check must say what the record said).
    const PdfPage::Source& source = *input.source;
    if (!source.pdf.path.empty() &&
        !PdfPage::isAsChecked(source.pdf.path, input.identity, input.recorded))
        return {drawnPlaceholder(input.placeholder, fullSize).copy(part), true};
    source.openedInEngine.store(true, std::memory_order_release);
    QImage out =
        PdfEngine::render(source.pageId, source.pdf, mediaPixels, part.translated(cropOrigin));
    if (out.isNull())
        return {drawnPlaceholder(input.placeholder, fullSize).copy(part)};
    if (paper == Paper::LeftToCaller)
        return {std::move(out), false, true};
    layOnPaper(out);
    return {std::move(out)};
}

PdfPage::Check PdfPageRenderer::check(const Input& input) {
    if (!input.source)
        return {QSizeF(input.mediaBox.size()), nullptr, {}};
    const PdfPage::Source& source = *input.source;
    const auto& pdf = source.pdf;
    // The verdict taken is of the file as it is now: renders then hold it to that.
    std::optional<std::string> identity;
    std::optional<PdfPageCheck::Verdict> verdict;
    if (pdf.path.empty()) {
        verdict =
            PdfPageCheck::checkData(pdf.bytes.constData(), static_cast<size_t>(pdf.bytes.size()));
    } else if ((identity = PdfPageCheck::fileIdentity(pdf.path))) {
        verdict = PdfPageCheck::keptVerdict(pdf.path, *identity);
        if (!verdict) {
            verdict = PdfPageCheck::check(pdf.path);
            identity = PdfPageCheck::fileIdentity(pdf.path);
        }
    } else {
        verdict = PdfPageCheck::keptVerdict(pdf.path);  // a file that cannot be read
    }
    if (!verdict) {
        return {{},
                plat::Error::withDescription(kPdfPageErrorDomain, 2, "Cannot read " + pdf.path),
                std::move(identity)};
    }
    if (auto check = PdfPage::checkOfVerdict(*verdict)) {
        check->identity = std::move(identity);
        return std::move(*check);
    }
    // The checker could not be run: QtPdf itself tells the size.
    source.openedInEngine.store(true, std::memory_order_release);
    const PdfEngine::PageInfo info = PdfEngine::inspect(source.pageId, pdf);
    return {info.size, info.error, std::move(identity)};
}

QImage PdfPageRenderer::image(PdfPage& page, const QSize& size) {
    if (size.isEmpty())
        return {};
    const Input input = inputOf(page);
    if (!input.checked && input.image.isNull())
        return drawnPlaceholder(input.placeholder, size);  // it waits for its check
    Rendered rendered = render(input, size, QRect());
    if (rendered.fileChanged)
        page.refuseChangedFile();
    return std::move(rendered.image);
}

bool PdfPageRenderer::checkNow(PdfPage& page) {
    if (!page.isChecked())
        page.applyCheck(check(inputOf(page)));
    return !page.error();
}

}  // namespace ui
