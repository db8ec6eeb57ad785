#include "vnlib/dev/request/TestRequest.h"

PLAT_DEFINE_CLASS(TestRequest, VnRequestContext, PLAT_NO_METHODS)

void TestRequest::note(const std::string& what) {
    if (journal_)
        journal_->push_back(name_ + "." + what);
}

void TestRequest::coreStart() {
    ++starts;
    note("start");
}

void TestRequest::coreCancel() {
    ++cancels;
    note("cancel");
}

void TestRequest::coreCleanUp() {
    ++cleanUps;
    note("cleanup");
}

Ref<testing_support::DynamicObject> journalDelegate(testing_support::Journal& journal,
                                                    const std::string& name,
                                                    const std::string& prefix) {
    auto d = testing_support::DynamicObject::make();
    d->on(prefix + "request:didFinishWithResult:", [&journal, name](plat::Args&) {
        journal.push_back(name + ".delegate");
        return std::any();
    });
    d->on(prefix + "request:progressReport:", [&journal, name](plat::Args& args) {
        auto p = std::any_cast<VnRequestProgress>(args.at(1));
        journal.push_back(name + ".progress " + std::to_string(static_cast<int>(p.completed)));
        return std::any();
    });
    return d;
}
