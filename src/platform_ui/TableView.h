#pragma once
// ui::TableView: a one-column list that builds only the rows on screen. Row views come from the
// data source, which asks makeView for a view of an identifier that has left the screen before
// making a new one; rows that leave the screen are queued for reuse under their identifier.
#include <QAbstractScrollArea>
#include <QPointer>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ui {

class TableView : public QAbstractScrollArea {
  public:
    struct DataSource {
        std::function<int(TableView&)> numberOfRows;
        std::function<QWidget*(TableView&, int row)> viewForRow;
        std::function<int(TableView&, int row)> heightOfRow;  // optional: rowHeight()
        // optional: every row may be selected; false keeps the selection as it is.
        std::function<bool(TableView&, int row)> shouldSelectRow;
    };

    explicit TableView(QWidget* parent = nullptr);

    void setDataSource(DataSource dataSource);
    void setRowHeight(int height);
    int rowHeight() const { return rowHeight_; }
    void reloadData();
    int numberOfRows() const { return static_cast<int>(tops_.size()) - 1; }

    // A view queued for reuse under the identifier (null when none); views the data source
    // makes are tagged with setIdentifier.
    QWidget* makeView(const std::string& identifier);
    static void setIdentifier(QWidget* view, const std::string& identifier);

    // The live view of a row on screen (null otherwise) and the number of live views.
    QWidget* viewAtRow(int row) const;
    int liveViewCount() const { return static_cast<int>(live_.size()); }
    QRect rectOfRow(int row) const;  // viewport coordinates
    int rowAt(const QPoint& viewportPoint) const;
    void scrollRowToVisible(int row);

    int selectedRow() const { return selectedRow_; }
    void selectRow(int row);
    std::function<void(int row)> selectionDidChange;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void tile();
    DataSource dataSource_;
    int rowHeight_ = 24;
    std::vector<int> tops_{0};  // row tops; the last entry is the total height
    std::map<int, QPointer<QWidget>> live_;
    std::multimap<std::string, QPointer<QWidget>> reusable_;
    int selectedRow_ = -1;
};

}  // namespace ui
