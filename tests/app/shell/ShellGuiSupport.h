#pragma once
// Helpers of the shell's screen tests: colours found in a grab of a widget.
#include <QColor>
#include <QImage>
#include <QWidget>

namespace shell_testing {

// How many pixels of the image are within `tolerance` of the colour in each channel.
inline int pixelsNear(const QImage& image, const QColor& colour, int tolerance = 6) {
    int count = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QColor c = rgb.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance &&
                std::abs(c.green() - colour.green()) <= tolerance &&
                std::abs(c.blue() - colour.blue()) <= tolerance)
                ++count;
        }
    }
    return count;
}

inline int pixelsNear(QWidget* widget, const QColor& colour, int tolerance = 6) {
    return pixelsNear(widget->grab().toImage(), colour, tolerance);
}

}  // namespace shell_testing
