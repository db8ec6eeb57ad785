#pragma once
// The store groups of the category and browse pages:
// - "0.categories": the menu entries "Books", "Magazines" and "Audios" (as the first record's
//   Subwidgets, not in menu order), each with its category tiles (Id, Title, Description,
//   ImageUrl, OrderWidget); "B01" holds its two sub-groups.
// - "0.browse.author", "0.browse.publisher_book", "0.browse.magazine",
//   "0.browse.publisher_magazine": the catalogue's names, plus in each a Thai name behind a
//   leading vowel, a lower-case Latin one, an accented Latin-1 one, a digit-first one and one
//   with an empty title; the authors also hold a name whose Id is "../x", one whose Id holds a
//   "/" (its list is unknown), one titled by a number and one whose list has no entry list.
// - a name's items under "<Id>_all" (a magazine title's under its own code): the group holds
//   the first 48 items, delivered in reverse of their OrderWidget; "GetSubWidgetInfo" pages
//   the whole list. "Big Shelf Press" has 120 generated items.
// - "0.browse.broken": a browse group whose names are no list.
#include <map>
#include <string>

#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"

namespace demo {

struct CategoryBrowseGroups {
    std::map<std::string, Json> widgets;     // "GetWidgetInfo" answers, by id
    std::map<std::string, Json> pagedLists;  // whole lists that "GetSubWidgetInfo" pages
    // By code, a group of the catalogue items of each category tile and sub-group, so that the
    // store's group lists answer "<code>.Sort" and its orders for them.
    std::map<std::string, Json> categoryLists;
};

CategoryBrowseGroups makeCategoryBrowseGroups(const SampleCatalogue& catalogue);

}  // namespace demo
