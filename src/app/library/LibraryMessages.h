#pragma once
// The messages the library's screens take, each declared once with its selector and its C++
// types (plat::Message): what other areas ask of the library screen (refresh the shelves, open an
// item in the reader, stop a loading), and the delegate messages of the shelves and of the
// reservation rows. Every message is optional: it is sent only to an object that answers it.
#include <optional>
#include <string>

#include "platform/core/Message.h"
#include "platform/core/Ref.h"

namespace plat {
class Object;
}
class VnMagazineIssueInfo;

// ---- What other areas ask of the library screen ----
struct LibraryScreenMessages {
    // Its view, asked for so that the screen is loaded (a screen controller's own view() does
    // this; the message is for library objects that are not one).
    static constexpr plat::Message<void()> kView{"view"};
    static constexpr plat::Message<void(bool)> kUpdateLibraryForceUpdate{
        "updateLibraryForceUpdate:"};
    static constexpr plat::Message<void(const Ref<VnMagazineIssueInfo>&)>
        kDisplayReaderWithIssueInfo{"displayReaderWithIssueInfo:"};
    static constexpr plat::Message<void()> kCancelLoading{"cancelLoading"};
    // The member has just taken a loan: what the shelves asked before it is no longer awaited, and
    // their next refresh starts afresh.
    static constexpr plat::Message<void()> kLoanTaken{"libraryLoanTaken"};
};

// ---- The shelves' and the library view's delegate messages ----
struct LibraryShelfMessages {
    static constexpr plat::Message<void(const Ref<plat::Object>&)> kStartLoading{
        "libraryListView_StartLoading:"};
    static constexpr plat::Message<void(const Ref<plat::Object>&)> kLoadComplete{
        "libraryListView_LoadComplete:"};
    static constexpr plat::Message<void()> kMainViewStartLoading{"LibraryMainViewStartLoading"};
    static constexpr plat::Message<void()> kMainViewLoadComplete{"LibraryMainViewLoadComplete"};
};

// ---- A reservation row's delegate messages: the row and the reservation's code ----
struct ReserveBookItemCellMessages {
    using Code = std::optional<std::string>;
    static constexpr plat::Message<void(const Ref<plat::Object>&, const Code&)> kClaim{
        "reserveBookItemCell:claimReserveBookCode:"};
    static constexpr plat::Message<void(const Ref<plat::Object>&, const Code&)> kCancel{
        "reserveBookItemCell:cancelReserveBookCode:"};
};
