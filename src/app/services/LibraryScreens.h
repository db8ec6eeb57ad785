#pragma once
// The names the library area's screens are registered under (app/library/LibraryResources.cpp):
// under the storyboard "LibraryStoryboard" the library screen ("LibraryMainViewController"), its
// view ("LibraryMain"), a shelf ("LibraryListView") and a shelf cell
// ("LibraryBookShelfCollectionCellView"); the nibs of the library screen and of the
// borrow-history and reservation screens. Here, below every area, so that the main window and
// the account sheet name them without reaching up into the library.
#include "platform_ui/ScreenName.h"

namespace LibraryScreens {
inline constexpr ui::ScreenName kLibrary{"LibraryStoryboard", "LibraryMainViewController"};
inline constexpr ui::ScreenName kMainView{"LibraryStoryboard", "LibraryMain"};
inline constexpr ui::ScreenName kShelf{"LibraryStoryboard", "LibraryListView"};
inline constexpr ui::ScreenName kShelfCell{"LibraryStoryboard",
                                           "LibraryBookShelfCollectionCellView"};
inline constexpr ui::ScreenName kLibraryNib{"", "LibraryMainViewController"};
inline constexpr ui::ScreenName kBorrowHistory{"", "BorrowHistoryViewController"};
inline constexpr ui::ScreenName kReservations{"", "ReserveBookViewController"};
}  // namespace LibraryScreens
