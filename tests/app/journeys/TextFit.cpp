#include "TextFit.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

#include "platform_ui/Controls.h"

namespace journeys {
namespace {

// Antialiased ink may touch a pixel beyond its box.
constexpr int kSlack = 1;

// A text as drawn, in the root's coordinates.
struct ShownText {
    const QWidget* widget = nullptr;
    QString name;
    QString text;
    QRect box;      // the line boxes, with the glyphs' own bounds
    QRect ink;      // what drawing the text colours
    QRect clip;     // what the widget and its ancestors up to any scroll area leave to draw in
    QRect visible;  // the part on screen
    QRegion unobscured;
};

// The widget's object name; for a widget without one, its class, where it stands and the nearest
// named ancestor (Qt's own parts, named "qt_...", do not count).
QString nameOf(const QWidget* widget) {
    const auto named = [](const QWidget* w) {
        return !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"));
    };
    if (named(widget))
        return widget->objectName();
    const QPoint at = widget->mapTo(widget->window(), QPoint(0, 0));
    QString name = QStringLiteral("%1 at %2,%3")
                       .arg(QString::fromLatin1(widget->metaObject()->className()))
                       .arg(at.x())
                       .arg(at.y());
    for (const QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
        if (named(up))
            return name + QStringLiteral(" in ") + up->objectName();
    }
    return name;
}

// What a line of text covers about its baseline origin (y down): its line box, the font's whole
// line and further where the text's glyphs reach further (fallback fonts, Thai marks above and
// below the line), from its start to its advance; and its ink, what drawing it colours.
struct Reach {
    QRect box;
    QRect ink;
};

QRect inkOf(const QFont& font, const QString& line, const QRect& box) {
    static QHash<QString, QRect> known;
    const QString key = font.key() + QLatin1Char('\x1f') + line;
    if (const auto found = known.constFind(key); found != known.constEnd())
        return *found;
    // Drawn with room around the box, so that glyphs reaching beyond it are seen.
    const QRect canvas = box.adjusted(-box.height(), -box.height(), box.height(), box.height());
    QImage image(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(-canvas.left(), -canvas.top()), line);
    }
    int top = image.height(), bottom = -1, left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) > 64) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    const QRect ink =
        bottom < 0 ? QRect()
                   : QRect(QPoint(left, top), QPoint(right, bottom)).translated(canvas.topLeft());
    known.insert(key, ink);
    return ink;
}

// One line as QPainter::drawText lays it out: the ascent and descent of the fonts it uses
// (fallback fonts included) and its advance.
struct LineMetrics {
    double ascent = 0;
    double descent = 0;
    double advance = 0;
};

LineMetrics lineMetricsOf(const QFont& font, const QString& line) {
    QTextLayout layout(line, font);
    layout.beginLayout();
    QTextLine laid = layout.createLine();
    LineMetrics metrics;
    if (laid.isValid()) {
        laid.setLineWidth(1e6);
        metrics = {laid.ascent(), laid.descent(), laid.naturalTextWidth()};
    }
    layout.endLayout();
    return metrics;
}

QStringList wrappedLines(const QFont& font, const QString& text, int width) {
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << paragraph.mid(line.textStart(), line.textLength());
        }
        layout.endLayout();
        if (paragraph.isEmpty())
            lines << QString();
    }
    return lines;
}

// Where the lines land when drawn into the box with the alignment, as QPainter::drawText places
// them: their line boxes (grown to the glyphs' ink where that reaches further) and their ink.
Reach placeLines(const QFont& font, const QStringList& lines, const QRect& box,
                 Qt::Alignment alignment) {
    const double leading = QFontMetricsF(font).leading();
    std::vector<LineMetrics> laid;
    double blockHeight = -leading;
    for (const QString& line : lines) {
        laid.push_back(lineMetricsOf(font, line));
        blockHeight += leading + laid.back().ascent + laid.back().descent;
    }
    double top = box.top();
    if (alignment & Qt::AlignVCenter)
        top += (box.height() - blockHeight) / 2;
    else if (alignment & Qt::AlignBottom)
        top += box.height() - blockHeight;
    Reach placed;
    for (size_t i = 0; i < laid.size(); ++i) {
        const LineMetrics& m = laid[i];
        const double baseline = top + m.ascent;
        double left = box.left();
        if (alignment & Qt::AlignHCenter)
            left += (box.width() - m.advance) / 2;
        else if (alignment & Qt::AlignRight)
            left += box.width() - m.advance;
        QRect lineBox =
            QRectF(left, baseline - m.ascent, m.advance, m.ascent + m.descent).toAlignedRect();
        const QString& line = lines[static_cast<qsizetype>(i)];
        if (!line.trimmed().isEmpty()) {
            const QRect ink =
                inkOf(font, line, lineBox.translated(-qRound(left), -qRound(baseline)))
                    .translated(qRound(left), qRound(baseline));
            if (!ink.isNull()) {
                lineBox |= ink;
                placed.ink |= ink;
            }
        }
        placed.box |= lineBox;
        top += m.ascent + m.descent + leading;
    }
    return placed;
}

class Collector {
  public:
    Collector(const QWidget* root, QString screen) : root_(root), screen_(std::move(screen)) {}

    void walk(const QWidget* widget) {
        if (!widget->isVisible())
            return;
        if (widget->isWindow() && widget != root_)
            return;  // another window: checked on its own
        visit(widget);
        for (const QObject* child : widget->children()) {
            if (const auto* w = qobject_cast<const QWidget*>(child))
                walk(w);
        }
    }

    std::vector<TextFitProblem> finish() {
        for (size_t i = 0; i < shown_.size(); ++i) {
            const ShownText& a = shown_[i];
            for (size_t j = i + 1; j < shown_.size(); ++j) {
                const ShownText& b = shown_[j];
                if (a.widget == b.widget || a.widget->isAncestorOf(b.widget) ||
                    b.widget->isAncestorOf(a.widget))
                    continue;
                const QRect both = (a.ink & a.visible) & (b.ink & b.visible);
                if (both.width() <= kSlack || both.height() <= kSlack)
                    continue;
                if (!a.unobscured.intersects(both) || !b.unobscured.intersects(both))
                    continue;
                problems_.push_back({screen_, a.name, a.text,
                                     QStringLiteral("overlaps \"%1\" of %2 (%3 x %4 px)")
                                         .arg(b.text, b.name)
                                         .arg(both.width())
                                         .arg(both.height())});
            }
        }
        return std::move(problems_);
    }

  private:
    void visit(const QWidget* widget) {
        if (const auto* view = qobject_cast<const QAbstractItemView*>(widget)) {
            if (!qobject_cast<const QHeaderView*>(view))
                visitCells(view);
            return;
        }
        if (const auto* label = qobject_cast<const QLabel*>(widget))
            return visitLabel(label);
        if (const auto* combo = qobject_cast<const QComboBox*>(widget))
            return visitComboBox(combo);
        if (const auto* field = qobject_cast<const QLineEdit*>(widget))
            return visitField(field);
        if (const auto* tool = qobject_cast<const QToolButton*>(widget))
            return visitToolButton(tool);
        if (const auto* check = qobject_cast<const QCheckBox*>(widget))
            return visitCheckable(check, QStyle::SE_CheckBoxContents);
        if (const auto* radio = qobject_cast<const QRadioButton*>(widget))
            return visitCheckable(radio, QStyle::SE_RadioButtonContents);
        if (const auto* push = qobject_cast<const QPushButton*>(widget))
            return visitPushButton(push);
    }

    void visitLabel(const QLabel* label) {
        QString text = label->text();
        if (text.isEmpty() || !label->pixmap().isNull())
            return;
        if (label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
            text = QTextDocumentFragment::fromHtml(text).toPlainText();
        QRect box = label->contentsRect();
        box.adjust(label->margin(), label->margin(), -label->margin(), -label->margin());
        const QFontMetrics metrics(label->font());
        const bool elides =
            dynamic_cast<const ui::ElidingLabel*>(label) != nullptr && !label->wordWrap();
        QStringList lines = label->wordWrap() ? wrappedLines(label->font(), text, box.width())
                                              : text.split(QLatin1Char('\n'));
        if (elides) {
            for (QString& line : lines)
                line = metrics.elidedText(line, Qt::ElideRight, box.width());
        }
        add(label, text, label->font(), lines, box,
            QStyle::visualAlignment(label->layoutDirection(), label->alignment()));
    }

    void visitPushButton(const QPushButton* button) {
        if (button->text().isEmpty())
            return;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        if (button->isFlat())
            option.features |= QStyleOptionButton::Flat;
        QRect box = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        if (!button->icon().isNull())
            box.setLeft(box.left() + button->iconSize().width() + 4);
        addSingle(button, option.text, button->font(), box, Qt::AlignCenter);
    }

    void visitToolButton(const QToolButton* button) {
        if (button->text().isEmpty() || button->toolButtonStyle() == Qt::ToolButtonIconOnly)
            return;
        QStyleOptionToolButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        option.toolButtonStyle = button->toolButtonStyle();
        const int frame =
            button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
        QRect box =
            button->style()
                ->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButton, button)
                .adjusted(frame, frame, -frame, -frame);
        if (!button->icon().isNull() && button->toolButtonStyle() != Qt::ToolButtonTextOnly) {
            const QSize icon = button->icon().actualSize(button->iconSize());
            if (button->toolButtonStyle() == Qt::ToolButtonTextUnderIcon)
                box.adjust(0, icon.height() + 3, 0, -1);
            else
                box.setLeft(box.left() + icon.width() + 4);
        }
        addSingle(button, option.text, button->font(), box, Qt::AlignCenter);
    }

    void visitCheckable(const QAbstractButton* button, QStyle::SubElement contents) {
        if (button->text().isEmpty())
            return;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect box = button->style()->subElementRect(contents, &option, button);
        addSingle(button, option.text, button->font(), box, Qt::AlignLeft | Qt::AlignVCenter);
    }

    // A read-only field shows a text as a label does; one the member types in scrolls its text.
    void visitField(const QLineEdit* field) {
        if (!field->isReadOnly() || field->text().isEmpty() ||
            field->echoMode() != QLineEdit::Normal)
            return;
        if (qobject_cast<const QComboBox*>(field->parentWidget()))
            return;
        QStyleOptionFrame option;
        option.initFrom(field);
        option.lineWidth = field->hasFrame() ? field->style()->pixelMetric(
                                                   QStyle::PM_DefaultFrameWidth, &option, field)
                                             : 0;
        const QMargins margins = field->textMargins();
        const QRect box = field->style()
                              ->subElementRect(QStyle::SE_LineEditContents, &option, field)
                              .marginsRemoved(margins)
                              .adjusted(2, 1, -2, -1);
        addSingle(field, field->text(), field->font(), box,
                  QStyle::visualAlignment(field->layoutDirection(), field->alignment()));
    }

    void visitComboBox(const QComboBox* combo) {
        if (combo->isEditable() || combo->currentText().isEmpty())
            return;
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.currentText = combo->currentText();
        option.frame = combo->hasFrame();
        const QRect box =
            combo->style()
                ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                .adjusted(1, 0, -1, 0);
        addSingle(combo, option.currentText, combo->font(), box, Qt::AlignLeft | Qt::AlignVCenter);
    }

    // Cells: the view elides what is too wide by itself, so only their height is checked.
    void visitCells(const QAbstractItemView* view) {
        const QAbstractItemModel* model = view->model();
        if (!model)
            return;
        const auto* tree = qobject_cast<const QTreeView*>(view);
        const QRect viewport = view->viewport()->rect();
        std::vector<QModelIndex> parents{view->rootIndex()};
        while (!parents.empty()) {
            const QModelIndex parent = parents.back();
            parents.pop_back();
            for (int row = 0; row < model->rowCount(parent); ++row) {
                if (tree && tree->isRowHidden(row, parent))
                    continue;
                for (int column = 0; column < model->columnCount(parent); ++column) {
                    const QModelIndex index = model->index(row, column, parent);
                    if (column == 0 && tree && tree->isExpanded(index))
                        parents.push_back(index);
                    const QRect rect = view->visualRect(index);
                    const QString text = index.data(Qt::DisplayRole).toString();
                    if (text.isEmpty() || !rect.intersects(viewport))
                        continue;
                    visitCell(view, index, rect, text);
                }
            }
        }
    }

    void visitCell(const QAbstractItemView* view, const QModelIndex& index, const QRect& rect,
                   const QString& text) {
        QStyleOptionViewItem option;
        option.initFrom(view->viewport());
        option.rect = rect;
        option.text = text;
        option.features = QStyleOptionViewItem::HasDisplay;
        const QVariant font = index.data(Qt::FontRole);
        option.font = font.isValid() ? font.value<QFont>() : view->font();
        option.fontMetrics = QFontMetrics(option.font);
        const QVariant alignment = index.data(Qt::TextAlignmentRole);
        option.displayAlignment = alignment.isValid()
                                      ? Qt::Alignment(alignment.toInt())
                                      : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter);
        if (!index.data(Qt::DecorationRole).isNull()) {
            option.features |= QStyleOptionViewItem::HasDecoration;
            option.decorationSize = view->iconSize().isValid() ? view->iconSize() : QSize(16, 16);
        }
        QRect box = view->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, view);
        const QFontMetrics metrics(option.font);
        QString shown = text;
        if (view->textElideMode() != Qt::ElideNone)
            shown = metrics.elidedText(text, view->textElideMode(), std::max(0, box.width() - 6));
        ShownText entry = locate(view->viewport(), text);
        entry.name = nameOf(view);
        const QPoint offset = view->viewport()->mapTo(root_, QPoint(0, 0));
        entry.clip = entry.clip & rect.translated(offset);
        const Reach placed = placeLines(option.font, {shown}, box, option.displayAlignment);
        entry.box = placed.box.translated(offset);
        entry.ink = placed.ink.translated(offset);
        // The row's own height also has to hold what the delegate asks for.
        const int wanted = view->itemDelegateForIndex(index)->sizeHint(option, index).height();
        if (wanted > rect.height() + kSlack && !entry.box.intersected(entry.visible).isEmpty())
            problems_.push_back({screen_, nameOf(view), text,
                                 QStringLiteral("row of %1 px, its cell asks for %2 px")
                                     .arg(rect.height())
                                     .arg(wanted)});
        judge(entry);
    }

    void addSingle(const QWidget* widget, const QString& text, const QFont& font, const QRect& box,
                   Qt::Alignment alignment) {
        QString shown = text;
        shown.remove(QLatin1Char('&'));  // mnemonics are drawn as underlines
        add(widget, text, font, shown.split(QLatin1Char('\n')), box, alignment);
    }

    void add(const QWidget* widget, const QString& text, const QFont& font,
             const QStringList& lines, const QRect& box, Qt::Alignment alignment) {
        ShownText entry = locate(widget, text);
        const QPoint offset = widget->mapTo(root_, QPoint(0, 0));
        const Reach placed = placeLines(font, lines, box, alignment);
        entry.box = placed.box.translated(offset);
        entry.ink = placed.ink.translated(offset);
        // Across, the text has its drawing box (a button's bevel is no room for text); up and
        // down, the widget's whole height.
        const QRect across = box.translated(offset);
        entry.clip &= QRect(across.left(), entry.clip.top(), across.width(), entry.clip.height());
        judge(entry);
    }

    // The widget's place: its rectangle cut by its ancestors, up to any scroll area (what lies
    // beyond that has only been scrolled away) and up to the root (what is on screen).
    ShownText locate(const QWidget* widget, const QString& text) const {
        ShownText entry;
        entry.widget = widget;
        entry.name = nameOf(widget);
        entry.text = text;
        QRect clip = widget->rect().translated(widget->mapTo(root_, QPoint(0, 0)));
        QRect visible = clip;
        bool scrolled = false;
        for (const QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
            const QRect rect = up->rect().translated(up->mapTo(root_, QPoint(0, 0)));
            const auto* area = qobject_cast<const QAbstractScrollArea*>(up->parentWidget());
            if (area && area->viewport() == up)
                scrolled = true;
            if (!scrolled)
                clip &= rect;
            visible &= rect;
            if (up == root_)
                break;
        }
        entry.clip = clip;
        entry.visible = visible;
        entry.unobscured = widget->visibleRegion().translated(widget->mapTo(root_, QPoint(0, 0)));
        return entry;
    }

    void judge(const ShownText& entry) {
        const QRect& ink = entry.box;
        if (ink.isEmpty() || (ink & entry.visible).isEmpty())
            return;
        const QRect& clip = entry.clip;
        QStringList cuts;
        if (clip.isEmpty()) {
            cuts << QStringLiteral("has no room at all");
        } else {
            if (ink.top() < clip.top() - kSlack)
                cuts << QStringLiteral("cut at the top by %1 px").arg(clip.top() - ink.top());
            if (ink.bottom() > clip.bottom() + kSlack)
                cuts << QStringLiteral("cut at the bottom by %1 px")
                            .arg(ink.bottom() - clip.bottom());
            if (ink.left() < clip.left() - kSlack || ink.right() > clip.right() + kSlack)
                cuts << QStringLiteral("cut without an ellipsis: needs %1 px across, has %2 px")
                            .arg(ink.width())
                            .arg(clip.width());
        }
        if (!cuts.isEmpty())
            problems_.push_back({screen_, entry.name, entry.text, cuts.join(QStringLiteral(", "))});
        shown_.push_back(entry);
    }

    const QWidget* root_;
    QString screen_;
    std::vector<ShownText> shown_;
    std::vector<TextFitProblem> problems_;
};

}  // namespace

std::vector<TextFitProblem> checkTextFit(const QWidget* root, const QString& screen) {
    if (!root)
        return {};
    Collector collector(root, screen);
    collector.walk(root);
    return collector.finish();
}

QString describe(const std::vector<TextFitProblem>& problems) {
    QString out;
    for (const TextFitProblem& p : problems)
        out += QStringLiteral("%1: %2 \"%3\": %4\n").arg(p.screen, p.objectName, p.text, p.fault);
    return out;
}

}  // namespace journeys
