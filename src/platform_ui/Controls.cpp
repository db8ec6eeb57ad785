#include "platform_ui/Controls.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFontDatabase>
#include <QPainter>
#include <QRawFont>
#include <QStyle>
#include <QTextDocument>
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

int ElidingLabel::naturalTextWidth() const {
    // Measuring shapes the whole text: done once for each text and font, not on each paint.
    const QString shown = text();
    if (naturalWidth_ < 0 || shown != measuredText_ || font() != measuredFont_) {
        measuredText_ = shown;
        measuredFont_ = font();
        naturalWidth_ = fontMetrics().horizontalAdvance(shown);
    }
    return naturalWidth_;
}

int ElidingLabel::oneLineRoomHeight() const {
    const QString shown = text();
    if (shown.isEmpty())
        return 0;
    // Several lines, or rich text, are laid out as QLabel lays them out.
    if (shown.contains(QLatin1Char('\n')) || textFormat() == Qt::RichText ||
        (textFormat() == Qt::AutoText && Qt::mightBeRichText(shown)))
        return sizeHint().height();
    // A line's height is that of the fonts it is drawn in: the label's own, and for characters
    // that font lacks, the font the system gives their script. Measured once for each set of
    // such scripts, for each font.
    const QMargins around = contentsMargins();
    const int frame = around.top() + around.bottom() + 2 * margin();
    if (minimumHeight() > 0)
        return sizeHint().height();
    if (font() != lineFont_ || lineHeights_.empty()) {
        lineFont_ = font();
        lineRawFont_ = QRawFont::fromFont(lineFont_);
        lineHeights_.clear();
    }
    std::vector<QChar::Script> others;
    for (const char32_t c : shown.toUcs4()) {
        if (!lineRawFont_.supportsCharacter(c))
            others.push_back(QChar::script(c));
    }
    std::sort(others.begin(), others.end());
    others.erase(std::unique(others.begin(), others.end()), others.end());
    auto known = lineHeights_.find(others);
    if (known == lineHeights_.end())
        known = lineHeights_.emplace(std::move(others), sizeHint().height() - frame).first;
    return known->second + frame;
}

void ElidingLabel::paintEvent(QPaintEvent* event) {
    QRect box = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    if (wordWrap() || !pixmap().isNull() || naturalTextWidth() <= box.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, box.width());
    style()->drawItemText(&painter, box, QStyle::visualAlignment(layoutDirection(), alignment()),
                          palette(), isEnabled(), shown, foregroundRole());
}

int naturalTextWidth(const QLabel* label) {
    if (!label || label->text().isEmpty())
        return 0;
    if (const auto* eliding = dynamic_cast<const ElidingLabel*>(label))
        return eliding->naturalTextWidth();
    return label->fontMetrics().horizontalAdvance(label->text());
}

int textRoomHeight(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return 0;
        if (const auto* eliding = dynamic_cast<const ElidingLabel*>(label);
            eliding && !label->wordWrap())
            return eliding->oneLineRoomHeight();
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
