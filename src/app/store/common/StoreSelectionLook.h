#pragma once
// The selection look of the store's tabs, menus and sort options: a framed button (border 1.0,
// corner radius 3.0) with its label; selected, border and label red (1.0, 0.231, 0.188), else a
// light grey border and a grey (0.5) label.
#include <QColor>
#include <QWidget>

inline QColor storeSelectedColor() {
    return QColor::fromRgbF(1.0f, 0.231f, 0.188f, 1.0f);
}

inline void showSelectionLook(QWidget* button, QWidget* label, bool selected) {
    const QColor border =
        selected ? storeSelectedColor() : QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3);
    const QColor text = selected ? storeSelectedColor() : QColor::fromRgbF(0.5f, 0.5f, 0.5f);
    if (button)
        button->setStyleSheet(
            QString("border: 1px solid %1; border-radius: 3px; background: transparent")
                .arg(border.name()));
    if (label)
        label->setStyleSheet(QString("color: %1; border: none").arg(text.name()));
}
