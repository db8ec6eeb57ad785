#include "ContextTestSupport.h"

PLAT_DEFINE_CLASS(ContextListener, plat::Object, [](auto& c) {
    c.method("caller_request:didFinishWithResult:", &ContextListener::caller)
        .method("second_request:didFinishWithResult:", &ContextListener::second)
        .method("bookStoreContextActiveUserContextDidChange:", &ContextListener::activeChanged)
        .method("bookStoreContext:sessionInitiatingFailedWithErrorMessage:",
                &ContextListener::sessionFailed);
})
PLAT_DEFINE_CLASS(OfflineDelegate, plat::Object, [](auto& c) {
    c.method("bookStoreContextIsOfflineMode", &OfflineDelegate::offline);
})
PLAT_DEFINE_CLASS(RequestWatcher, plat::Object, [](auto& c) {
    c.method("w_request:progressReport:", &RequestWatcher::progress)
        .method("w_request:didFinishWithResult:", &RequestWatcher::finished);
})
