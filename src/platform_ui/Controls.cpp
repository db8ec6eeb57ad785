#include "platform_ui/Controls.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFontDatabase>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <memory>

namespace ui {

void TextField::setStringValue(const std::optional<std::string>& value) {
    setText(value ? QString::fromStdString(*value) : QString());
    // Shown from its start, as a label shows it, when it is wider than the field.
    setCursorPosition(0);
}

TrackingArea::TrackingArea(QWidget* widget, std::function<void()> entered,
                           std::function<void()> exited)
    : QObject(widget), entered_(std::move(entered)), exited_(std::move(exited)) {
    widget->setAttribute(Qt::WA_Hover);
    widget->installEventFilter(this);
}

TrackingArea* TrackingArea::install(QWidget* widget, std::function<void()> entered,
                                    std::function<void()> exited) {
    if (!widget)
        return nullptr;
    // Owned by the widget, its QObject parent.
    return std::unique_ptr<TrackingArea>(
               new TrackingArea(widget, std::move(entered), std::move(exited)))
        .release();
}

bool TrackingArea::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Enter && entered_)
        entered_();
    else if (event->type() == QEvent::Leave && exited_)
        exited_();
    return false;
}

QSize ElidingLabel::minimumSizeHint() const {
    const QSize whole = QLabel::minimumSizeHint();
    return {std::min(whole.width(), fontMetrics().horizontalAdvance(QStringLiteral("…")) * 3),
            whole.height()};
}

void ElidingLabel::paintEvent(QPaintEvent* event) {
    QRect box = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    if (wordWrap() || fontMetrics().horizontalAdvance(text()) <= box.width() ||
        !pixmap().isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, box.width());
    style()->drawItemText(&painter, box, QStyle::visualAlignment(layoutDirection(), alignment()),
                          palette(), isEnabled(), shown, foregroundRole());
}

int textRoomHeight(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return 0;
        return label->wordWrap() ? label->heightForWidth(label->width())
                                 : label->sizeHint().height();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text().isEmpty() ? 0 : button->sizeHint().height();
    return 0;
}

void giveTextRoom(QWidget* widget) {
    if (!widget)
        return;
    const int need = textRoomHeight(widget);
    const QRect place = widget->geometry();
    if (need <= place.height())
        return;
    widget->setGeometry(place.x(), place.y() - (need - place.height()) / 2, place.width(), need);
}

QFont thaiCapableFont(double pointSize) {
    static const QString family = [] {
        const QStringList thai = QFontDatabase::families(QFontDatabase::Thai);
        for (const char* preferred : {"Loma", "Garuda", "Waree", "Norasi", "Tlwg Typo"}) {
            if (thai.contains(preferred))
                return QString(preferred);
        }
        return thai.isEmpty() ? QString() : thai.front();
    }();
    QFont font = family.isEmpty() ? QFont() : QFont(family);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pointSize))));
    return font;
}

}  // namespace ui
