#pragma once
// Helpers of the shell's screen tests: colours found in a grab, a screen double that records the
// messages the shell sends it, and alerts recorded instead of shown.
#include <QColor>
#include <QImage>
#include <QWidget>
#include <string>
#include <vector>

#include "platform_ui/Alert.h"
#include "platform_ui/ViewController.h"

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

// Every message a TestScreen heard, as "<name> <selector><argument>", in order.
inline std::vector<std::string>& screenEvents() {
    static std::vector<std::string> events;
    return events;
}

class TestScreen : public ui::ViewController {
    PLAT_CLASS(TestScreen)
  public:
    explicit TestScreen(std::string name = {}) : name(std::move(name)) {}
    void setFeatureCode(std::string code) {
        screenEvents().push_back(name + " setFeatureCode:" + code);
    }
    void setDelegate(Ref<plat::Object> d) {
        delegate = d;
        screenEvents().push_back(name + " setDelegate:");
    }
    void updateLibraryForceUpdate(bool force) {
        screenEvents().push_back(name + " updateLibraryForceUpdate:" + (force ? "YES" : "NO"));
    }
    void startSearch(std::string text) { screenEvents().push_back(name + " startSearch:" + text); }
    std::string name;
    WeakRef<plat::Object> delegate;
};

class AlertRecorder : public ui::Alert {
  public:
    void runModal(QWidget*, const std::string& message, const std::string&) override {
        messages.push_back(message);
    }
    std::vector<std::string> messages;
};

}  // namespace shell_testing
