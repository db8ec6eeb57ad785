#pragma once
// The loading overlay's delegate protocol (HZLoading): one optional message, with the overlay as
// argument. The screens that lay the overlay over themselves answer it.
#include "platform/core/Message.h"
#include "platform/core/Ref.h"

namespace plat {
class Object;
}

struct HZLoadingDelegate {
    static constexpr plat::Message<void(Ref<plat::Object>)> kCancelClick{"HZLoading_CancelClick:"};
};
