#pragma once
// Shared pieces of the domain tests: a stand-in user context (its gate starts requests at once
// and counts them), an items request whose answer the test chooses, title records, and a helper
// that runs a request to its end.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/runloop/RunLoop.h"
#include "vnlib/domain/context/VnBookStoreContextSubobject.h"
#include "vnlib/domain/lists/VnDomain.h"
#include "vnlib/info/catalogue/VnMagazineInfo.h"
#include "vnlib/service/v3/VnStoreRemoteSession.h"

class TestUserContext : public VnBookStoreContextSubobject {
    PLAT_CLASS(TestUserContext)
  public:
    void executeRequest(Ref<VnRequestContext> request, Ref<plat::Object> delegate,
                        std::string prefix) {
        ++executed;
        request->startWithDelegate(delegate, prefix);
    }
    void cancelRequest(Ref<VnRequestContext> request) {
        ++cancelled;
        request->cancel();
    }
    Ref<VnStoreRemoteSession> storeRemoteSession() { return session; }
    void domainMarkUpdated(Ref<VnDomain>) { ++marked; }

    int executed = 0;
    int cancelled = 0;
    int marked = 0;
    Ref<VnStoreRemoteSession> session;
};

// Answers on a later turn with what `answer` gives (a success without value by default).
class TestItemsRequest : public VnRequestContext {
    PLAT_CLASS(TestItemsRequest)
  public:
    std::function<Ref<VnRequestResult>()> answer;
    int starts = 0;
    Ref<plat::Dictionary> paramsAtStart;
    bool autoFinish = true;

    void finishNow() { coreNotifyFinishWithResult(answer()); }

  protected:
    void coreStart() override {
        ++starts;
        paramsAtStart = customParams();
        if (autoFinish)
            coreQueueNotifyFinishWithResult(
                answer ? answer() : VnRequestResult::resultWithReturnValue({}, nullptr));
    }
};

inline Ref<VnMagazineInfo> title(const std::string& code, const std::string& hash = "h",
                                 int32_t sortIndex = 0) {
    auto info = std::make_shared<VnMagazineInfo>();
    info->setCode(code);
    info->setHashString(hash);
    info->sortIndex_ = sortIndex;
    return info;
}

inline std::vector<std::string> codesOf(const VnInfoList& items) {
    std::vector<std::string> codes;
    for (const auto& item : items)
        codes.push_back(item->code().value_or("<none>"));
    return codes;
}

inline Ref<VnRequestResult> runToEnd(const Ref<VnRequestContext>& request, double timeout = 10) {
    Ref<VnRequestResult> result;
    request->startWithDidFinishBlock(
        [&result](const Ref<VnRequestResult>& r, const plat::Value&) { result = r; });
    plat::RunLoop::current().runUntil([&] { return result != nullptr; }, timeout);
    return result;
}

template <class T>
Ref<T> returned(const Ref<VnRequestResult>& result) {
    return result ? result->returnValue().as<T>() : nullptr;
}
