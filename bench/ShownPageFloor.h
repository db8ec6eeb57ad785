#pragma once
// The least a view that shows a page adds to QtPdf's render: the view painted once while the page
// renders (its background, and white paper where the page goes) and the page's rectangle once the
// render is there (paper, then the page laid on it: QtPdf leaves what a page does not draw
// transparent), each a pass over the pixels it covers. shownPageSeconds loads the page's file,
// renders it at `size` and paints `window` so, with the paper's top left at `at`; it returns the
// time as a view can at best take it (the first paint beside the render, the second after both),
// or nothing when the page was not rendered and laid on the window.
#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

namespace bench {

inline std::optional<double> shownPageSeconds(const std::string& file, const QSize& size,
                                              QImage& window, const QPoint& at) {
    const auto seconds = [](auto from, auto to) {
        return std::chrono::duration<double>(to - from).count();
    };
    const QRect paper(at, size);
    const auto start = std::chrono::steady_clock::now();
    QPdfDocument document;
    document.load(QString::fromStdString(file));
    QImage image = document.render(0, size);
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    const auto rendered = std::chrono::steady_clock::now();
    {
        QPainter painter(&window);
        painter.fillRect(window.rect(), Qt::lightGray);
        painter.fillRect(paper, Qt::white);
    }
    const auto firstPaint = std::chrono::steady_clock::now();
    {
        QPainter painter(&window);
        painter.fillRect(paper, Qt::white);
        painter.drawImage(paper.topLeft(), image);
    }
    const auto secondPaint = std::chrono::steady_clock::now();
    if (image.size() != size || window.pixel(paper.center()) != image.pixel(image.rect().center()))
        return std::nullopt;
    return std::max(seconds(start, rendered), seconds(rendered, firstPaint)) +
           seconds(firstPaint, secondPaint);
}

}  // namespace bench
