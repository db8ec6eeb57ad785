#pragma once
// Small control behaviours the screens rely on:
// - TextField: a line edit whose string value may be null, shown as "";
// - TrackingArea: mouse enter/leave callbacks over a widget (hover buttons);
// - thaiCapableFont: the interface font, from a family that has Thai glyphs when one is
//   installed.
#include <QFont>
#include <QLineEdit>
#include <functional>
#include <optional>
#include <string>

namespace ui {

class TextField : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;
    void setStringValue(const std::optional<std::string>& value);
    std::string stringValue() const { return text().toStdString(); }
};

class TrackingArea : public QObject {
  public:
    // Watches the widget (and is owned by it).
    static TrackingArea* install(QWidget* widget, std::function<void()> entered,
                                 std::function<void()> exited);
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    TrackingArea(QWidget* widget, std::function<void()> entered, std::function<void()> exited);
    std::function<void()> entered_, exited_;
};

QFont thaiCapableFont(double pointSize = 13);

}  // namespace ui
