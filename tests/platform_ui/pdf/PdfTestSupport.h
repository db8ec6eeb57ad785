#pragma once
// Pages and a shown view for the PDF kit's tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScrollBar>

#include "platform_ui/pdf/PdfPageCheck.h"
#include "platform_ui/pdf/PdfPageRenderer.h"
#include "platform_ui/pdf/PdfThumbnailView.h"
#include "platform_ui/pdf/PdfView.h"
#include "support/GuiTestSupport.h"
#include "support/PdfFixtures.h"

using testing_support::spin;
using testing_support::spinUntil;

// A page checked before it is used, as the reader's pages are when they arrive.
inline Ref<ui::PdfPage> pdfPage(double width, double height, double r = 1, double g = 0,
                                double b = 0) {
    const std::string pdf = testing_support::filledPdf(width, height, r, g, b);
    ui::PdfPageCheck::checkData(pdf.data(), pdf.size());
    return ui::PdfPage::fromData(QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size())));
}

inline Ref<ui::PdfDocument> documentOf(const std::vector<QSizeF>& sizes) {
    auto document = std::make_shared<ui::PdfDocument>();
    for (const auto& s : sizes)
        document->insertPage(pdfPage(s.width(), s.height()), document->pageCount());
    return document;
}

inline void clickAt(QWidget* widget, const QPoint& point) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(point), widget->mapToGlobal(QPointF(point)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

// A view that counts how often it is asked for its visible pages, and what it answered.
class CountingPdfView : public ui::PdfView {
  public:
    std::vector<Ref<ui::PdfPage>> visiblePages() override {
        answers.push_back(ui::PdfView::visiblePages());
        return answers.back();
    }
    std::vector<std::vector<Ref<ui::PdfPage>>> answers;
};
