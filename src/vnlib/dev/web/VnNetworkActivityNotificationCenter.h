#pragma once
// VnNetworkActivityNotificationCenter: a process-wide count of running network operations that
// tells its observers when activity starts and ends. Observer messages (all optional, each with
// the centre as argument): networkActivityDidStart:, networkActivityDidStartFirstActivity:,
// networkActivityDidFinish:, networkActivityDidFinishLastActivity:.
#include <mutex>
#include <vector>

#include "platform/core/Object.h"

class VnNetworkActivityNotificationCenter : public plat::Object {
    PLAT_CLASS(VnNetworkActivityNotificationCenter)
  public:
    static const Ref<VnNetworkActivityNotificationCenter>& defaultCenter();

    void notifyNetworkActivityDidStart();
    void notifyNetworkActivityDidFinish();
    // The centre keeps its observers.
    void addNetworkActivityObserver(const Ref<plat::Object>& observer);
    void removeNetworkActivityObserver(const Ref<plat::Object>& observer);
    void notifyObserversBySelector(plat::Selector sel);
    int32_t activityCount() const;

  private:
    mutable std::recursive_mutex lock_;
    std::vector<Ref<plat::Object>> observers_;
    int32_t activityCount_ = 0;
};
