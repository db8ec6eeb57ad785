#pragma once
// A request whose work is driven by the test: it records its core operations in a journal and
// finishes or reports progress when told.
#include <string>

#include "support/DynamicObject.h"
#include "vnlib/dev/request/VnRequestContext.h"

class TestRequest : public VnRequestContext {
    PLAT_CLASS(TestRequest)
  public:
    TestRequest(testing_support::Journal* journal = nullptr, std::string name = "req")
        : journal_(journal), name_(std::move(name)) {}
    static Ref<TestRequest> make(testing_support::Journal* journal = nullptr,
                                 std::string name = "req") {
        return std::make_shared<TestRequest>(journal, std::move(name));
    }

    void finish(const Ref<VnRequestResult>& result) { coreNotifyFinishWithResult(result); }
    void progress(float done, float total) {
        coreReportProgress(VnRequestProgressMake(done, total));
    }
    int starts = 0, cancels = 0, cleanUps = 0;

  protected:
    void coreStart() override;
    void coreCancel() override;
    void coreCleanUp() override;

  private:
    void note(const std::string& what);
    testing_support::Journal* journal_;
    std::string name_;
};

// A delegate that notes "<name>.delegate" for finishes (and progress) into a journal.
Ref<testing_support::DynamicObject> journalDelegate(testing_support::Journal& journal,
                                                    const std::string& name,
                                                    const std::string& prefix = "");
