#pragma once
// How the screens show record values: a missing text shows as the empty string (or the given
// mark), and the shadow that every cover frame carries.
#include <QString>
#include <optional>
#include <string>

#include "platform_ui/ViewGeometry.h"

inline QString objectText(const std::optional<std::string>& text, const char* missing = "") {
    return QString::fromStdString(text.value_or(missing));
}

// Dark grey, no offset, blur radius 2.
inline ui::LayerStyle coverShadowStyle() {
    ui::LayerStyle style;
    style.shadowColor = QColor::fromRgbF(1.0f / 3, 1.0f / 3, 1.0f / 3);
    style.shadowRadius = 2.0;
    style.shadowOffset = {0, 0};
    return style;
}
