#pragma once
// enableMemberShelves: the signed-in member's own shelves in place of the whole library's. Off
// unless called (the program's --member-shelves option), so that the library listings answer the
// whole catalogue as before. Once on:
//  - "GetMetaMagazineIssueInfos" of type "Libraries" and "GetMetaBookInfos" of category
//    "_Libraries" list what the member holds: loans, read-now loans, free items and samples;
//  - "GetLibraryIssueInfos" answers only the held codes, each with "ItemCode" the loan's code,
//    "DueDate", "AsReadNow" and "IsGetSample";
//  - "ReadBookNow" opens a read-now loan of 15 minutes on the service's clock when a copy is
//    free (refused in Thai otherwise); each "ExtendBorrowBook" lengthens it by 15 minutes and
//    "ReturnBook" ends it;
//  - every lending call first ends the loans whose due time has passed on the clock.
// Call after registerVersion2Methods; the catalogue must outlive the service.
#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"

namespace demo {

void enableMemberShelves(DemoService& service, SampleCatalogue& catalogue);

}  // namespace demo
