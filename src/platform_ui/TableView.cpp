#include "platform_ui/TableView.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QVariant>
#include <algorithm>

namespace ui {
namespace {

constexpr const char* kIdentifierProperty = "ui.reuseIdentifier";

}  // namespace

TableView::TableView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TableView::setDataSource(DataSource dataSource) {
    dataSource_ = std::move(dataSource);
    reloadData();
}

void TableView::setRowHeight(int height) {
    rowHeight_ = std::max(1, height);
    reloadData();
}

void TableView::setIdentifier(QWidget* view, const std::string& identifier) {
    if (view)
        view->setProperty(kIdentifierProperty, QString::fromStdString(identifier));
}

QWidget* TableView::makeView(const std::string& identifier) {
    for (auto it = reusable_.find(identifier); it != reusable_.end() && it->first == identifier;) {
        QPointer<QWidget> view = it->second;
        it = reusable_.erase(it);
        if (view)
            return view;
    }
    return nullptr;
}

void TableView::reloadData() {
    const int count = dataSource_.numberOfRows ? std::max(0, dataSource_.numberOfRows(*this)) : 0;
    tops_.assign(1, 0);
    tops_.reserve(static_cast<size_t>(count) + 1);
    for (int row = 0; row < count; ++row) {
        const int h =
            dataSource_.heightOfRow ? std::max(1, dataSource_.heightOfRow(*this, row)) : rowHeight_;
        tops_.push_back(tops_.back() + h);
    }
    // Every live view goes back for reuse: rows are asked again.
    for (auto& [row, view] : live_) {
        if (view) {
            view->hide();
            reusable_.emplace(view->property(kIdentifierProperty).toString().toStdString(), view);
        }
    }
    live_.clear();
    if (selectedRow_ >= count)
        selectedRow_ = -1;
    verticalScrollBar()->setRange(0, std::max(0, tops_.back() - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(std::max(1, rowHeight_));
    tile();
}

QRect TableView::rectOfRow(int row) const {
    if (row < 0 || row >= numberOfRows())
        return {};
    const int top = tops_[static_cast<size_t>(row)] - verticalScrollBar()->value();
    return QRect(0, top, viewport()->width(),
                 tops_[static_cast<size_t>(row) + 1] - tops_[static_cast<size_t>(row)]);
}

int TableView::rowAt(const QPoint& point) const {
    const int y = point.y() + verticalScrollBar()->value();
    const auto it = std::upper_bound(tops_.begin(), tops_.end(), y);
    const int row = static_cast<int>(it - tops_.begin()) - 1;
    return row >= 0 && row < numberOfRows() ? row : -1;
}

QWidget* TableView::viewAtRow(int row) const {
    const auto it = live_.find(row);
    return it == live_.end() ? nullptr : it->second.data();
}

void TableView::scrollRowToVisible(int row) {
    const QRect r = rectOfRow(row);
    if (r.isNull())
        return;
    if (r.top() < 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + r.top());
    else if (r.bottom() > viewport()->height())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + r.bottom() -
                                      viewport()->height() + 1);
}

void TableView::selectRow(int row) {
    if (row < -1 || row >= numberOfRows() || row == selectedRow_)
        return;
    if (row >= 0 && dataSource_.shouldSelectRow && !dataSource_.shouldSelectRow(*this, row))
        return;
    selectedRow_ = row;
    if (selectionDidChange)
        selectionDidChange(row);
}

void TableView::tile() {
    const int count = numberOfRows();
    const int first = count ? std::max(0, rowAt(QPoint(0, 0))) : 0;
    int last = count ? rowAt(QPoint(0, viewport()->height() - 1)) : -1;
    if (count && last < 0)
        last = count - 1;
    // Rows that left the screen go back for reuse.
    for (auto it = live_.begin(); it != live_.end();) {
        if (it->first < first || it->first > last || !it->second) {
            if (it->second) {
                it->second->hide();
                reusable_.emplace(
                    it->second->property(kIdentifierProperty).toString().toStdString(), it->second);
            }
            it = live_.erase(it);
        } else {
            ++it;
        }
    }
    for (int row = first; row <= last && dataSource_.viewForRow; ++row) {
        QPointer<QWidget>& slot = live_[row];
        if (!slot) {
            QWidget* view = dataSource_.viewForRow(*this, row);
            if (!view) {
                live_.erase(row);
                continue;
            }
            view->setParent(viewport());
            slot = view;
        }
        slot->setGeometry(rectOfRow(row));
        slot->show();
    }
}

void TableView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    verticalScrollBar()->setRange(0, std::max(0, tops_.back() - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    tile();
}

void TableView::scrollContentsBy(int, int) {
    tile();
}

void TableView::mousePressEvent(QMouseEvent* event) {
    selectRow(rowAt(event->position().toPoint()));
}

}  // namespace ui
