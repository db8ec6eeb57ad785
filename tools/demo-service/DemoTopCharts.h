#pragma once
// demo::makeTopChartGroups: the store's best-seller charts as the demo's store service answers
// them.
//   "0.categories_top": one record whose "Subwidgets" are the sections "0.categories.books",
//     "0.categories.magazines" and "0.categories.newspapers" ("PredefinedId"), each with its
//     categories ("Id", "Title", "OrderWidget"; the service lists them out of order, one without
//     an order).
//   "0.topseller_book_paid", "0.topseller_magazine_paid", "0.topseller_newspaper_paid": the paid
//     charts of every category, kTopChartLength entries (the catalogue's items of the kind in
//     turn, ranked by "OrderWidget"), linking to the book, issue, newspaper issue and magazine
//     details; the book chart's third entry is a list link ("…/book/list?id=0.feature_all.books").
//   "<category Id>.paid" for every category: the chart of the items in that category.
// A chart's record carries its first kTopChartFirstPage entries as its own "Subwidgets";
// "GetSubWidgetInfo" pages the whole chart ("pagedLists", by code).
#include <map>
#include <string>

#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"

namespace demo {

inline constexpr int kTopChartFirstPage = 48;
inline constexpr int kTopChartLength = 100;

struct TopChartGroups {
    std::map<std::string, Json> widgets;     // for "GetWidgetInfo", by id
    std::map<std::string, Json> pagedLists;  // whole charts for "GetSubWidgetInfo", by id
};

TopChartGroups makeTopChartGroups(const SampleCatalogue& catalogue);

}  // namespace demo
