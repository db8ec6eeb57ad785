#pragma once
// The library screens' members and switches.
//  - seedLibraryMembers adds the members and items that the shelf, history and reservation
//    screens are tried with: "manee@example.com" (password "manee-pass") with 30 past loans, a
//    borrowed book and issue, a book whose code is all digits, an EPUB-only book, a zero-page
//    issue, a read-now loan, a free item, a sample, one claimable and two waiting reservations
//    (one with a member ahead); "empty@example.com" ("empty-pass") with nothing at all.
//  - enableLibraryMembers reshapes the member lists: reservations carry "ItemType" as text,
//    "RemainingPeople" as the members ahead and "ReturnDate" as the earliest due date ("ddMMyy");
//    with `numericCodes`, all-digit item codes of "GetLibraryIssueInfos" go out as JSON numbers.
//  - addEpubOnlyBook adds "Flowing Text" (kEpubOnlyBook), a book in "Children's Books" by
//    "Sample Author" that every list offers as EPUB only: the run command's demo carries it, so
//    that a member can meet an item the reader cannot open.
// Call enableLibraryMembers after registerVersion2Methods and enableMemberShelves.
#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"

namespace demo {

inline constexpr const char* kShelfMember = "manee@example.com";
inline constexpr const char* kShelfMemberPassword = "manee-pass";
inline constexpr const char* kEmptyMember = "empty@example.com";
inline constexpr const char* kEmptyMemberPassword = "empty-pass";
inline constexpr const char* kNumericCodeBook = "2024001";
inline constexpr const char* kEpubOnlyBook = "BK-EPUB1";
inline constexpr const char* kZeroPageIssue = "MG01-ZERO";
inline constexpr const char* kClaimableBook = "BK-RSV1";

void addEpubOnlyBook(SampleCatalogue& catalogue);
void seedLibraryMembers(SampleCatalogue& catalogue);
void enableLibraryMembers(DemoService& service, SampleCatalogue& catalogue, bool numericCodes);

}  // namespace demo
