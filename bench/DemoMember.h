#pragma once
// The program set up against an in-process demo library, for the benchmarks that drive its
// screens: its configuration pointing at the demo's book service and store (an in-memory
// keychain, fresh user defaults, a fresh global service, the run-loop bridge installed), and a
// member signed in through the store context.
#include <string>

namespace demo {
class DemoService;
}

namespace bench {

void configureProgramForDemo(const demo::DemoService& service, const demo::DemoService& store);
// False when the member is not signed in within a minute.
bool signInToDemo(const std::string& member, const std::string& password);

}  // namespace bench
