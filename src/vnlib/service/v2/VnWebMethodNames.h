#pragma once
// The names of the version-2 web methods, sent exactly as they stand. A constant's name does not
// always match its text (VNWS_GetBorrowHistory is "GetBorrowHistory2", VNWS_SubmitWishlistBook
// is "SubmitUserWishBook").

// Sign-in.
inline constexpr const char* VNWS_AccountAuthentication = "AccountAuthentication";
inline constexpr const char* VNWS_AccountAuthenticationWithAccessToken =
    "AccountAuthenticationWithAccessToken";

// Catalogue and store front.
inline constexpr const char* VNWS_GetMetaMagazineIssueInfos = "GetMetaMagazineIssueInfos";
inline constexpr const char* VNWS_GetMetaBookInfos = "GetMetaBookInfos";
inline constexpr const char* VNWS_GetMagazineIssueInfos = "GetMagazineIssueInfos";
inline constexpr const char* VNWS_GetBookInfos = "GetBookInfos";
inline constexpr const char* VNWS_GetIssueInfo = "GetIssueInfo";
inline constexpr const char* VNWS_GetLibraryIssueInfos = "GetLibraryIssueInfos";
inline constexpr const char* VNWS_GetBookDetails = "GetBookDetails";
inline constexpr const char* VNWS_GetCategoryInfos = "GetCategoryInfos";
inline constexpr const char* VNWS_GetMagazineInfos = "GetMagazineInfos";
inline constexpr const char* VNWS_GetMetaMagazineInfos = "GetMetaMagazineInfos";
inline constexpr const char* VNWS_GetMagazineInfosEx = "GetMagazineInfosEx";
inline constexpr const char* VNWS_GetBookPages = "GetBookPages";
inline constexpr const char* VNWS_GetAssetFiles = "GetAssetFiles";
inline constexpr const char* VNWS_GetPriceInfos = "GetPriceInfos";
inline constexpr const char* VNWS_GetWidgetInfo = "GetWidgetInfo";
inline constexpr const char* VNWS_GetSubWidgetInfo = "GetSubWidgetInfo";
inline constexpr const char* VNWS_GetItemURL = "GetItemURL";

// Lending.
inline constexpr const char* VNWS_BorrowBook = "BorrowBook";
inline constexpr const char* VNWS_ReserveBook = "ReserveBook";
inline constexpr const char* VNWS_CancelReserveBook = "CancelReserveBook";
inline constexpr const char* VNWS_ReturnBook = "ReturnBook";
inline constexpr const char* VNWS_ExtendBorrowBook = "ExtendBorrowBook";
inline constexpr const char* VNWS_ClaimReserveBook = "ClaimReserveBook";
inline constexpr const char* VNWS_ReadBookNow = "ReadBookNow";
inline constexpr const char* VNWS_PurchaseFreeBook = "PurchaseFreeBook";
inline constexpr const char* VNWS_GetCurrentReserveBookInfos = "GetCurrentReserveBookInfos";
inline constexpr const char* VNWS_NeedClaimActionBooks = "NeedClaimActionBooks";
inline constexpr const char* VNWS_NeedClaimAction = "NeedClaimAction";
inline constexpr const char* VNWS_GetBorrowHistory = "GetBorrowHistory2";
inline constexpr const char* VNWS_GetHistory = "GetHistory";

// Wishlists and reading sync.
inline constexpr const char* VNWS_SubmitWishlistBook = "SubmitUserWishBook";
inline constexpr const char* VNWS_SubmitUserWishMagazine = "SubmitUserWishMagazine";
inline constexpr const char* VNWS_RemoveUserWishBook = "RemoveUserWishBook";
inline constexpr const char* VNWS_RemoveUserWishMagazine = "RemoveUserWishMagazine";
inline constexpr const char* VNWS_SubmitSyncBookMark = "SubmitSyncBookMark";
inline constexpr const char* VNWS_RemoveUserSyncBookMark = "RemoveUserSyncBookMark";
inline constexpr const char* VNWS_SubmitSyncLastPage = "SubmitSyncLastPage";

// Account, subscriptions and purchases.
inline constexpr const char* VNWS_RegisterNewAccount = "RegisterNewAccount";
inline constexpr const char* VNWS_RequestPasswordResetEmail = "RequestPasswordResetEmail";
inline constexpr const char* VNWS_ChangePassword = "ChangePassword";
inline constexpr const char* VNWS_TransferUserBooks = "TransferUserBooks";
inline constexpr const char* VNWS_GetAccountInfo = "GetAccountInfo";
inline constexpr const char* VNWS_GetProfile = "GetProfile";
inline constexpr const char* VNWS_UpdateAcountDetail = "UpdateAcountDetail";
inline constexpr const char* VNWS_RegisterAPNS = "RegisterAPNS";
inline constexpr const char* VNWS_MobileDetectClientInfo = "MobileDetectClientInfo";
inline constexpr const char* VNWS_MobileRequestOnetimePassword = "MobileRequestOnetimePassword";
inline constexpr const char* VNWS_GetUserSubscriptions = "GetUserSubscriptions";
inline constexpr const char* VNWS_GetCurrentSubscription = "GetCurrentSubscription";
inline constexpr const char* VNWS_GetSubscriptionOptions = "GetSubscriptionOptions";
inline constexpr const char* VNWS_UnSubScriptionFree = "UnSubScriptionFree";
inline constexpr const char* VNWS_RedeemProduct = "RedeemProduct";
inline constexpr const char* VNWS_FilterRestorableInApp = "FilterRestorableInApp";
