// Linked into a test program that has no main of its own for it: the message wiring check of
// WiringCheck.h, added before the program's tests run.
#include "support/WiringCheck.h"

namespace {

const bool wiringCheckAdded = (testing_support::checkMessageWiring(), true);

}  // namespace
