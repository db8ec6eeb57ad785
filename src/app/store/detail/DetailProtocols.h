#pragma once
// The delegate protocols of the item detail, each declared once, on first use. Every message is
// optional: it is sent only to a delegate that answers it.
namespace plat {
class Protocol;
}

namespace detail_protocols {

const plat::Protocol& shopDetailMainViewControllerDelegate();
const plat::Protocol& shopDetailInfoItemViewDelegate();
const plat::Protocol& shopDetailByAuthorViewDelegate();
const plat::Protocol& previewPopupMainViewDelegate();

}  // namespace detail_protocols
