#pragma once
#include <gtest/gtest.h>

#include "support/ProgramState.h"

// Resets the program state before each case and releases it after (so leak checks stay quiet).
class FreshProgramState : public ::testing::Test {
protected:
    void SetUp() override { ResetProgramState(); }
    void TearDown() override { ResetProgramState(); }
};
