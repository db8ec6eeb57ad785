#pragma once
// The table questions that a library list screen answers itself (numberOfRows, heightOfRow,
// shouldSelectRow), as a ui::TableView data source; the screen adds its row views.
#include "platform_ui/TableView.h"

template <class Screen>
ui::TableView::DataSource libraryTableSource(const Screen& screen) {
    ui::TableView::DataSource source;
    source.numberOfRows = [&screen](ui::TableView&) { return screen.numberOfRows(); };
    source.heightOfRow = [&screen](ui::TableView&, int row) { return screen.heightOfRow(row); };
    source.shouldSelectRow = [&screen](ui::TableView&, int row) {
        return screen.shouldSelectRow(row);
    };
    return source;
}
