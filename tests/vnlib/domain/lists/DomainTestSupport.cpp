#include "DomainTestSupport.h"

PLAT_DEFINE_CLASS(TestUserContext, VnBookStoreContextSubobject, [](auto& c) {
    c.method("executeRequest:withDelegate:selectorPrefix:", &TestUserContext::executeRequest);
    c.method("cancelRequest:", &TestUserContext::cancelRequest);
    c.method("storeRemoteSession", &TestUserContext::storeRemoteSession);
    c.method("domainMarkUpdated:", &TestUserContext::domainMarkUpdated);
})
PLAT_DEFINE_CLASS(TestItemsRequest, VnRequestContext, PLAT_NO_METHODS)
