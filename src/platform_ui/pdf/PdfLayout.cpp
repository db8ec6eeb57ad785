#include "platform_ui/pdf/PdfLayout.h"

#include <algorithm>

namespace ui {

std::vector<std::vector<int>> PdfLayout::makeRows(int count, int mode, bool book) {
    std::vector<std::vector<int>> rows;
    if (!isTwoUp(mode)) {
        for (int i = 0; i < count; ++i)
            rows.push_back({i});
        return rows;
    }
    int i = 0;
    if (book && count > 0)
        rows.push_back({i++});
    for (; i < count; i += 2) {
        if (i + 1 < count)
            rows.push_back({i, i + 1});
        else
            rows.push_back({i});
    }
    return rows;
}

int PdfLayout::rowCount(int count, int mode, bool book) {
    if (count <= 0)
        return 0;
    if (!isTwoUp(mode))
        return count;
    // As a book the first page stands alone, then spreads.
    return book ? 1 + count / 2 : (count + 1) / 2;
}

int PdfLayout::rowOfPage(int page, int mode, bool book) {
    if (!isTwoUp(mode))
        return page;
    return book ? (page + 1) / 2 : page / 2;
}

std::vector<int> PdfLayout::pagesOfRow(int row, int count, int mode, bool book) {
    if (row < 0 || row >= rowCount(count, mode, book))
        return {};
    if (!isTwoUp(mode))
        return {row};
    if (book && row == 0)
        return {0};
    const int first = book ? 2 * row - 1 : 2 * row;
    return first + 1 < count ? std::vector<int>{first, first + 1} : std::vector<int>{first};
}

int PdfLayout::rowOfPage(int page) const {
    for (size_t r = 0; r < rows.size(); ++r) {
        if (std::find(rows[r].begin(), rows[r].end(), page) != rows[r].end())
            return static_cast<int>(r);
    }
    return -1;
}

namespace {

double maxWidth(const std::vector<QSizeF>& sizes) {
    double w = 0;
    for (const auto& s : sizes)
        w = std::max(w, s.width());
    return w;
}

}  // namespace

PdfLayout PdfLayout::make(const std::vector<QSizeF>& sizes, int mode, bool book, bool breaks,
                          double scale, int currentRow) {
    PdfLayout layout;
    const int count = static_cast<int>(sizes.size());
    layout.rows = makeRows(count, mode, book);
    layout.frames.assign(sizes.size(), QRectF());
    const double gap = breaks ? kPageBreak : 0;
    const bool twoUp = isTwoUp(mode);
    const double widest = maxWidth(sizes) * scale;
    const double contentWidth = (twoUp ? 2 * widest + gap : widest) + 2 * gap;
    const double spine = contentWidth / 2;
    layout.currentRow = layout.rows.empty()
                            ? 0
                            : std::clamp(currentRow, 0, static_cast<int>(layout.rows.size()) - 1);
    double y = gap;
    for (size_t r = 0; r < layout.rows.size(); ++r) {
        if (!isContinuous(mode) && static_cast<int>(r) != layout.currentRow)
            continue;
        const auto& row = layout.rows[r];
        double rowHeight = 0;
        for (int p : row)
            rowHeight = std::max(rowHeight, sizes[static_cast<size_t>(p)].height() * scale);
        for (size_t k = 0; k < row.size(); ++k) {
            const QSizeF s = sizes[static_cast<size_t>(row[k])] * scale;
            double x;
            if (!twoUp) {
                x = (contentWidth - s.width()) / 2;
            } else {
                // As a book the lone first page is a right-hand page.
                const bool right = row.size() == 2 ? k == 1 : (book && row[k] == 0);
                x = right ? spine + gap / 2 : spine - gap / 2 - s.width();
            }
            layout.frames[static_cast<size_t>(row[k])] =
                QRectF(x, y + (rowHeight - s.height()) / 2, s.width(), s.height());
        }
        y += rowHeight + gap;
    }
    layout.contentSize = QSizeF(contentWidth, count ? y : 2 * gap);
    return layout;
}

PdfLayout::FitScales PdfLayout::fitScales(double widest, double rowHeight, int mode, bool breaks,
                                          const QSizeF& viewport) {
    const double gap = breaks ? kPageBreak : 0;
    const bool twoUp = isTwoUp(mode);
    return {(viewport.width() - 2 * gap - (twoUp ? gap : 0)) / (twoUp ? 2 * widest : widest),
            (viewport.height() - 2 * gap) / rowHeight};
}

double PdfLayout::fitScale(const std::vector<QSizeF>& sizes, int mode, bool book, bool breaks,
                           int currentRow, const QSizeF& viewport) {
    const double widest = maxWidth(sizes);
    if (widest <= 0 || viewport.isEmpty())
        return 1;
    double height = 0;
    const int count = static_cast<int>(sizes.size());
    if (const int rows = rowCount(count, mode, book); !isContinuous(mode) && rows > 0) {
        for (int p : pagesOfRow(std::clamp(currentRow, 0, rows - 1), count, mode, book))
            height = std::max(height, sizes[static_cast<size_t>(p)].height());
    }
    const FitScales fit = fitScales(widest, height, mode, breaks, viewport);
    const double scale = height > 0 ? std::min(fit.byWidth, fit.byHeight) : fit.byWidth;
    return std::clamp(scale, 0.1, 10.0);
}

}  // namespace ui
