#pragma once
// The texts a member sees on a screen are whole: every visible label, button, pop-up and list
// cell text fits its widget - the height its font needs for this very text, marks above and below
// the line included, and its advance width - or is shown elided with an ellipsis; and no two
// visible texts overlap. Texts scrolled partly out of a scroll area are not counted as cut.
#include <QString>
#include <vector>

class QWidget;

namespace journeys {

struct TextFitProblem {
    QString screen;
    QString objectName;  // the widget's object name, or its class and its parent's name
    QString text;
    QString fault;  // what is wrong, with the pixels missing or the other text
};

// Checks every visible text under the root (the root included).
std::vector<TextFitProblem> checkTextFit(const QWidget* root, const QString& screen);

// One line a problem: screen, object name, text and fault.
QString describe(const std::vector<TextFitProblem>& problems);

}  // namespace journeys
