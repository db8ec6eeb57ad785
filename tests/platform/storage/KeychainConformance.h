#pragma once
// The behaviour every keychain backend must show, as a value-parameterised test suite: each test
// executable instantiates KeychainConformance with factories for the backends it can run.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/storage/Keychain.h"

namespace testing_support {

struct KeychainFactory {
    std::string name;
    // Makes a keychain for one test; folder is a fresh folder the test owns.
    std::function<Ref<plat::Keychain>(const std::filesystem::path& folder)> make;
};

inline std::string keychainFactoryName(const ::testing::TestParamInfo<KeychainFactory>& info) {
    return info.param.name;
}

class KeychainConformance : public ::testing::TestWithParam<KeychainFactory> {};

}  // namespace testing_support
