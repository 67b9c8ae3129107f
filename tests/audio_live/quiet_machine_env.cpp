// The live tests run on a quiet machine where it can be had, unless MORAVEL_LIVE_IDLE=1 asks
// for the machine as it is; either way they say which.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support/QuietMachine.h"

namespace {

class QuietMachineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const char* idle = std::getenv("MORAVEL_LIVE_IDLE");
        if (idle != nullptr && *idle != '\0' && *idle != '0') {
            std::printf("[ machine  ] idle machine (MORAVEL_LIVE_IDLE)\n");
            return;
        }
        quiet_ = std::make_unique<QuietMachine>();
        std::printf("[ machine  ] %s\n", quiet_->describe().c_str());
    }
    void TearDown() override { quiet_.reset(); }

private:
    std::unique_ptr<QuietMachine> quiet_;
};

::testing::Environment* const kQuiet =
    ::testing::AddGlobalTestEnvironment(new QuietMachineEnvironment);

}  // namespace
