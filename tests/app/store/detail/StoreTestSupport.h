#pragma once
// The store screens' tests: the demo library (version 2 and the store service) on loopback, a
// bookstore context over it in the test's own home, keychain and user defaults, and sign-in.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "demo-service/DemoService.h"
#include "demo-service/SampleCatalogue.h"
#include "platform/runloop/RunLoop.h"
#include "platform/storage/ScopedEnvironment.h"
#include "platform_ui/Alert.h"
#include "vnlib/dev/request/VnRequestContext.h"
#include "vnlib/domain/context/VnBookStoreContext.h"
#include "vnlib/domain/context/VnBookStoreUserContext.h"
#include "vnlib/info/catalogue/VnMagazineIssueInfo.h"

// Records the alerts instead of showing them.
class AlertRecorder : public ui::Alert {
  public:
    void runModal(QWidget*, const std::string& message, const std::string&) override {
        messages.push_back(message);
    }
    std::vector<std::string> messages;
};

class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Signs a member in on the context; true when the service let them in.
    bool signIn(const std::string& user, const std::string& password);
    // Starts the request and runs the loop until it has finished (null on time-out).
    Ref<VnRequestResult> run(const Ref<VnRequestContext>& request, double timeout = 15);
    Ref<VnBookStoreUserContext> user() const { return context->activeUserContext(); }
    // A record of the item as the store service gives it.
    Ref<VnMagazineIssueInfo> storeItem(const std::string& code);
    // The program's facade gets this test's store context and the library screen (a double),
    // which the library's seams (the shelves, issue opening) reach.
    void useNeighbours(const Ref<plat::Object>& library);
    // Runs the loop until the predicate holds (false on time-out), or for a moment.
    bool waitFor(const std::function<bool()>& predicate, double timeout = 15);
    void settle(double seconds = 0.1);
    // From now on the loop's time moves only when told: by advance(), and a little while
    // waitFor waits for the network. The real clock comes back at tear-down.
    std::shared_ptr<plat::VirtualClock> useVirtualClock();
    size_t calls(const char* method) const { return service.requestsForMethod(method).size(); }

    std::shared_ptr<AlertRecorder> alerts = std::make_shared<AlertRecorder>();
    std::shared_ptr<plat::VirtualClock> virtualClock;

    testing_support::ScopedEnvironment environment;
    demo::SampleCatalogue catalogue;
    demo::DemoService service;
    demo::DemoService store;
    Ref<VnBookStoreContext> context;
};
