#include "vnlib/dev/request/VnRequestResult.h"

#include "platform/core/Log.h"
#include "platform/runloop/RunLoop.h"

PLAT_DEFINE_CLASS(VnRequestResult, plat::Object, PLAT_NO_METHODS)

VnRequestResult::VnRequestResult(plat::Value returnValue, Ref<plat::Error> error)
    : VnRequestResult(plat::Value(), std::move(returnValue), std::move(error)) {}

VnRequestResult::VnRequestResult(plat::Value requestParams, plat::Value returnValue,
                                 Ref<plat::Error> error)
    : requestParams_(std::move(requestParams)),
      returnValue_(std::move(returnValue)),
      error_(std::move(error)),
      state_(error_ ? Failed : Succeeded) {}

VnRequestResult::VnRequestResult(int32_t state) : state_(state) {}

Ref<VnRequestResult> VnRequestResult::resultWithReturnValue(plat::Value returnValue,
                                                            Ref<plat::Error> error) {
    return plat::autorelease(
        std::make_shared<VnRequestResult>(std::move(returnValue), std::move(error)));
}

Ref<VnRequestResult> VnRequestResult::resultWithRequestParams(plat::Value requestParams,
                                                              plat::Value returnValue,
                                                              Ref<plat::Error> error) {
    return plat::autorelease(std::make_shared<VnRequestResult>(
        std::move(requestParams), std::move(returnValue), std::move(error)));
}

Ref<VnRequestResult> VnRequestResult::succeedResult() {
    return plat::autorelease(std::make_shared<VnRequestResult>(Succeeded));
}

Ref<VnRequestResult> VnRequestResult::failedResultWithErrorMessage(const std::string& message) {
    return resultWithReturnValue(plat::Value(),
                                 plat::Error::withDescription(VnRequestDomain, 0, message));
}

Ref<VnRequestResult> VnRequestResult::cancel() {
    // Kept for the life of the process, its exit included: a request cancelled while the exit
    // destroys what it keeps (a context held by a static object) still finds it. The holder's
    // destructor leaves its value alone.
    union Holder {
        Ref<VnRequestResult> result;
        Holder() : result(std::make_shared<VnRequestResult>(UserCancelled)) {}
        ~Holder() {}
    };
    static const Holder shared;
    return shared.result;
}

std::optional<std::string> VnRequestResult::errorMessage() const {
    if (!error_)
        return std::nullopt;
    return error_->localizedDescription();
}

std::string VnRequestResult::description() const {
    return plat::format("<VnRequestResult state=%d value=%s error=%s>", state_,
                        returnValue_.description().c_str(),
                        error_ ? error_->description().c_str() : "(null)");
}
