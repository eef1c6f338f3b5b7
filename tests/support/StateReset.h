#pragma once
// Puts the process-wide state back to a fresh start between tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

void ResetSharedState();

// A fixture for tests that touch shared state: fresh defaults before, channels gone after,
// message boxes and traces collected instead of printed.
class SharedStateTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::vector<std::string> m_MessageBoxes;
    std::vector<std::string> m_Traces;
};
