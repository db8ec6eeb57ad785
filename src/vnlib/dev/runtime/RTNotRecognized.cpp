#include "vnlib/dev/runtime/RTNotRecognized.h"

void rt_notRecognized(const plat::Object& object, const char* selector) {
    const_cast<plat::Object&>(object).doesNotRecognizeSelector(selector);
    // A subclass may have silenced doesNotRecognizeSelector; the query still has no answer.
    plat::raise(plat::NSInvalidArgumentException, "-[" + object.className() + " " + selector +
                                                      "]: unrecognized selector sent to instance");
}
