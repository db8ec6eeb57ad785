#include "support/WiringCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/MessageWiring.h"

namespace testing_support {
namespace {

class WiringCheckEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { plat::setRecordingSentMessages(true); }
    void TearDown() override {
        EXPECT_EQ(plat::messageWiringFaults(), std::vector<std::string>{})
            << "messages sent by name with arguments their receivers do not take";
        plat::setRecordingSentMessages(false);
    }
};

}  // namespace

void checkMessageWiring() {
    // The test framework owns its environments.
    ::testing::AddGlobalTestEnvironment(
        new WiringCheckEnvironment);  // NOLINT(cppcoreguidelines-owning-memory)
}

}  // namespace testing_support
