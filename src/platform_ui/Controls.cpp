#include "platform_ui/Controls.h"

#include <QEvent>
#include <QFontDatabase>
#include <memory>

namespace ui {

void TextField::setStringValue(const std::optional<std::string>& value) {
    setText(value ? QString::fromStdString(*value) : QString());
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
    font.setPointSizeF(pointSize);
    return font;
}

}  // namespace ui
