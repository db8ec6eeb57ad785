#pragma once
// ui::PdfLayout: where a view puts its pages, in document coordinates (pixels, y down). Modes:
// 0 single page, 1 single continuous, 2 two-up, 3 two-up continuous. Two-up rows are spreads
// around a central spine; as a book, page 0 stands alone on the right, then 1-2, 3-4, ...
// The non-continuous modes lay out only the current row.
#include <QRectF>
#include <QSizeF>
#include <vector>

namespace ui {

struct PdfLayout {
    static constexpr double kPageBreak = 8;  // gap and margin with page breaks shown

    std::vector<QRectF> frames;          // per page; null for pages not laid out
    std::vector<std::vector<int>> rows;  // the page indexes of each row, left to right
    QSizeF contentSize;
    int currentRow = 0;

    static bool isTwoUp(int mode) { return mode == 2 || mode == 3; }
    static bool isContinuous(int mode) { return mode == 1 || mode == 3; }

    // The rows of `count` pages in a mode.
    static std::vector<std::vector<int>> makeRows(int count, int mode, bool book);
    // What makeRows gives, one row or one page at a time, without making every row.
    static int rowCount(int count, int mode, bool book);
    static int rowOfPage(int page, int mode, bool book);
    static std::vector<int> pagesOfRow(int row, int count, int mode, bool book);
    // Lays out pages of the given display sizes (points) at a scale; `currentRow` is used by the
    // non-continuous modes.
    static PdfLayout make(const std::vector<QSizeF>& sizes, int mode, bool book, bool breaks,
                          double scale, int currentRow);
    // The scale at which the widest page (or spread) fills the width, and in the non-continuous
    // modes the current row also fits the height.
    static double fitScale(const std::vector<QSizeF>& sizes, int mode, bool book, bool breaks,
                           int currentRow, const QSizeF& viewport);
    // The two scales fitting weighs, for pages no wider than `widest` and a row `rowHeight` high:
    // the one that fills the width and the one that fits the row's height (unclamped; the fit is
    // the smaller, the height's only in the non-continuous modes).
    struct FitScales {
        double byWidth;
        double byHeight;
    };
    static FitScales fitScales(double widest, double rowHeight, int mode, bool breaks,
                               const QSizeF& viewport);

    int rowOfPage(int page) const;
};

}  // namespace ui
