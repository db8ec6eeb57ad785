#pragma once
// Small control behaviours the screens rely on:
// - TextField: a line edit whose string value may be null, shown as "", and shows from its start;
// - TrackingArea: mouse enter/leave callbacks over a widget (hover buttons);
// - ElidingLabel: a one-line label that ends its text with an ellipsis when the text is wider
//   than the label;
// - giveTextRoom: grows a label or button about its middle to the height its text needs: Thai
//   marks above and below the line and fallback fonts take more than the Latin line that frames
//   are drawn for;
// - thaiCapableFont: the interface font, from a family that has Thai glyphs when one is
//   installed, in the screens' points: one point to a pixel, the unit their frames are drawn
//   in (a typographic point at 96 dpi would make every text a third larger than its frame).
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QRawFont>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

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

// text() stays the whole text; only what is drawn is cut, at its end, with "…". A label that
// wraps its text is drawn as QLabel draws it.
class ElidingLabel : public QLabel {
  public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;
    // The width of the text on one line, measured once for each text and font.
    int naturalTextWidth() const;
    // The height the text needs on one line with the label's margins (textRoomHeight), as its
    // size hint gives it: measured once for each font and each set of scripts whose characters
    // the font lacks (which other fonts draw).
    int oneLineRoomHeight() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    mutable QString measuredText_;
    mutable QFont measuredFont_;
    mutable int naturalWidth_ = -1;
    mutable QFont lineFont_;
    mutable QRawFont lineRawFont_;
    // The height of a line by the scripts of its characters that the font lacks.
    mutable std::map<std::vector<QChar::Script>, int> lineHeights_;
};

// The width a label's text takes on one line (0 without text); an eliding label measures each
// text once.
int naturalTextWidth(const QLabel* label);
// Never shrinks the widget, and leaves one without text as it is. A label that wraps is measured
// at its width.
void giveTextRoom(QWidget* widget);
// The height giveTextRoom gives: what the text needs with the widget's own margins (0 without
// text).
int textRoomHeight(const QWidget* widget);

QFont thaiCapableFont(double pointSize = 13);

}  // namespace ui
