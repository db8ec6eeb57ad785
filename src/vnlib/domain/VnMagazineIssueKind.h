#pragma once
// The kinds of catalogue list of the bookstore domain, as the texts that name them. The new-arrival
// kind and the shop kind share the text "Shops"; compare kinds by text.
inline constexpr const char* VnMagazineIssueKind_Features = "Features";
inline constexpr const char* VnMagazineIssueKind_NewArrival = "Shops";
inline constexpr const char* VnMagazineIssueKind_Library = "Libraries";
inline constexpr const char* VnMagazineIssueKind_Shops = "Shops";
inline constexpr const char* VnMagazineIssueKind_SpecialIssues = "SpecialIssues";
