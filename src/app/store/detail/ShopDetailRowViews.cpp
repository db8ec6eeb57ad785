#include "app/store/detail/ShopDetailRowViews.h"

#include <QLabel>

#include "platform_ui/Controls.h"

PLAT_DEFINE_CLASS(ShopReviewItemView, ui::ViewController, PLAT_NO_METHODS)

ShopDetailCellView::ShopDetailCellView(QWidget* parent) : QWidget(parent) {
    textField = new QLabel(this);
    textField->setGeometry(0, 0, 10, 10);
    textField->hide();
}

QLabel* ShopDetailCellView::addField(int x, int y, int width, int height, const char* caption) {
    if (caption) {
        auto* label = new QLabel(QString::fromUtf8(caption), this);
        label->setFont(ui::thaiCapableFont(12));
        label->setStyleSheet("color: gray");
        label->setGeometry(x, y, 150, height);
        x += 150;
        width -= 150;
    }
    auto* field = new QLabel(this);
    field->setFont(ui::thaiCapableFont(12));
    field->setGeometry(x, y, width, height);
    return field;
}

ShopDetailAboutInfoView::ShopDetailAboutInfoView(QWidget* parent) : ShopDetailCellView(parent) {
    resize(760, 210);
    auto* title = addField(20, 5, 400, 22);
    title->setText(QString::fromUtf8("เรื่องย่อ"));
    summaryTextField = addField(20, 30, 720, 170);
    summaryTextField->setWordWrap(true);
    summaryTextField->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

ShopDetailDescriptionView::ShopDetailDescriptionView(QWidget* parent) : ShopDetailCellView(parent) {
    resize(760, 165);
    isbnTextField = addField(20, 5, 360, 20, "ISBN");
    printLengthTextField = addField(20, 27, 360, 20, "จำนวนหน้า");
    fileSizeTextField = addField(20, 49, 360, 20, "ขนาดไฟล์");
    interactiveSizeTextField = addField(20, 71, 360, 20, "ขนาดสื่อเสริม");
    onSaleDateTextField = addField(400, 5, 340, 20, "วันที่วางขาย");
    countryTextField = addField(400, 27, 340, 20, "ประเทศ");
    languageTextField = addField(400, 49, 340, 20, "ภาษา");
}
