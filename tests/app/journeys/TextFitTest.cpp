// The text-fit check itself, on small hand-made screens: it must see Thai marks cut off, text cut
// without an ellipsis and texts over each other, and must not blame elided text, text scrolled
// out of view or hidden widgets.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTreeWidget>

#include "TextFit.h"
#include "platform_ui/Controls.h"

namespace {

using journeys::checkTextFit;
using journeys::describe;

const QString kThai = QStringLiteral("สี่ศรีบูรพา ปู่");

QLabel* labelAt(QWidget* parent, const QString& text, const QRect& rect, const char* name) {
    auto* label = new QLabel(text, parent);  // owned by the parent
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(ui::thaiCapableFont(13));
    label->setGeometry(rect);
    return label;
}

int lineHeight() {
    return QFontMetrics(ui::thaiCapableFont(13)).height();
}

TEST(TextFitTest, FindsCutMarksCutWidthsAndOverlapsAndOnlyThose) {
    QWidget screen;
    screen.resize(600, 400);
    const int line = lineHeight();
    // Whole: room for the line and the marks.
    labelAt(&screen, kThai, {10, 10, 400, line + 6}, "whole");
    // A Latin-sized frame: the marks below the line are cut.
    labelAt(&screen, kThai, {10, 60, 400, line - 6}, "short");
    // Too narrow, no ellipsis.
    labelAt(&screen, kThai, {10, 100, 40, line + 6}, "narrow");
    // Too narrow but drawn elided: fine.
    auto* elided = new ui::ElidingLabel(kThai, &screen);
    elided->setObjectName("elided");
    elided->setFont(ui::thaiCapableFont(13));
    elided->setGeometry(10, 140, 60, line + 6);
    // Two texts over each other.
    labelAt(&screen, QStringLiteral("ผู้แต่ง"), {10, 200, 200, line + 4}, "author");
    labelAt(&screen, QStringLiteral("ชื่อเรื่อง"), {10, 208, 200, line + 4}, "title");
    // A button too narrow for its text.
    auto* button = new QPushButton(QStringLiteral("ยกเลิกการจอง"), &screen);
    button->setObjectName("cancel");
    button->setGeometry(420, 10, 40, 32);
    // Hidden: not counted.
    labelAt(&screen, kThai, {420, 100, 20, 5}, "hidden")->hide();
    screen.show();

    const auto problems = checkTextFit(&screen, "made up");
    std::map<QString, QString> faults;
    for (const auto& p : problems) {
        EXPECT_EQ(p.screen, "made up");
        faults[p.objectName] += p.fault + ";";
    }
    EXPECT_EQ(faults.size(), 4u) << describe(problems).toStdString();
    EXPECT_TRUE(faults["short"].contains("cut at the bottom")) << faults["short"].toStdString();
    EXPECT_TRUE(faults["narrow"].contains("without an ellipsis"));
    EXPECT_TRUE(faults["cancel"].contains("without an ellipsis"));
    EXPECT_TRUE(faults["author"].contains("overlaps \"ชื่อเรื่อง\" of title") ||
                faults["title"].contains("overlaps"));
    EXPECT_FALSE(faults.count("elided"));
    EXPECT_FALSE(faults.count("whole"));
    EXPECT_FALSE(faults.count("hidden"));
    EXPECT_TRUE(describe(problems).contains("made up: short \"" + kThai + "\": cut at the"));
}

TEST(TextFitTest, ScrolledTextIsNotCutAndCellsNeedTheirHeight) {
    QWidget screen;
    screen.resize(400, 300);
    auto* scroll = new QScrollArea(&screen);
    scroll->setGeometry(0, 0, 400, 120);
    auto* content = new QWidget;
    content->resize(380, 600);
    const int line = lineHeight();
    for (int i = 0; i < 20; ++i)
        labelAt(content, kThai, {4, 8 + i * (line + 8), 300, line + 4}, "row");
    scroll->setWidget(content);
    scroll->verticalScrollBar()->setValue(13);  // a row now straddles the top edge

    auto* tree = new QTreeWidget(&screen);
    tree->setObjectName("tree");
    tree->setHeaderHidden(true);
    tree->setGeometry(0, 130, 400, 160);
    tree->setFont(ui::thaiCapableFont(13));
    for (int i = 0; i < 3; ++i)
        tree->addTopLevelItem(new QTreeWidgetItem(QStringList{kThai}));
    screen.show();
    EXPECT_TRUE(checkTextFit(&screen, "list").empty())
        << describe(checkTextFit(&screen, "list")).toStdString();

    // Rows squeezed below the line height cut every cell.
    tree->setStyleSheet("QTreeView::item { height: 8px; }");
    const auto problems = checkTextFit(&screen, "list");
    ASSERT_FALSE(problems.empty());
    for (const auto& p : problems)
        EXPECT_EQ(p.objectName, "tree") << describe(problems).toStdString();
}

}  // namespace

namespace {

// The screen kit's room for text: a Latin-sized frame grows about its middle to what its Thai
// text needs, and the check then finds it whole; room enough is left as it is.
TEST(TextFitTest, TheKitGivesThaiTextItsRoom) {
    QWidget screen;
    screen.resize(400, 200);
    QLabel* label = labelAt(&screen, kThai, {10, 40, 300, 17}, "grown");
    auto* button = new QPushButton(QStringLiteral("ยกเลิกการจอง"), &screen);
    button->setFont(ui::thaiCapableFont(12));
    button->setGeometry(10, 100, 160, 14);
    screen.show();
    ASSERT_EQ(checkTextFit(&screen, "kit").size(), 2u)
        << describe(checkTextFit(&screen, "kit")).toStdString();

    const int middle = label->geometry().center().y();
    ui::giveTextRoom(label);
    ui::giveTextRoom(button);
    EXPECT_GT(label->height(), 17);
    EXPECT_LE(std::abs(label->geometry().center().y() - middle), 1);
    EXPECT_TRUE(checkTextFit(&screen, "kit").empty())
        << describe(checkTextFit(&screen, "kit")).toStdString();
    const QRect grown = label->geometry();
    ui::giveTextRoom(label);
    EXPECT_EQ(label->geometry(), grown) << "room enough stays as it is";

    // A field too narrow for its value shows the value's start.
    ui::TextField field(&screen);
    field.setGeometry(10, 150, 60, 30);
    field.setStringValue(std::string("หนังสือ 5 เล่ม, นิตยสาร 3 เล่ม, หนังสือพิมพ์ 2 เล่ม"));
    EXPECT_EQ(field.cursorPosition(), 0);
}

}  // namespace
