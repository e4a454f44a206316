// Test main for the tests without widgets.
#include <gtest/gtest.h>

#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv) {
    testenv::SetUp();
    ::testing::InitGoogleTest(&argc, argv);
    int rc = 0;
    {
        // A question that no test scripted fails that test instead of going unnoticed.
        ScriptedPresenter unscripted;
        rc = RUN_ALL_TESTS();
    }
    testenv::TearDown();
    return rc;
}
