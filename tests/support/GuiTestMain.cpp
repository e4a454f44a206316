// Test main for the tests with widgets: the test's own environment, then a QApplication on
// the offscreen platform, so dialogs can be built and driven with no display (the Xvfb run
// names another platform for its pictures). Modal dialogs
// are driven from a QTimer or through their handlers, never left waiting for a person.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tests/support/ScriptedPresenter.h"
#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv) {
    testenv::SetUp();
    // The Xvfb run takes the windows' pictures on a real X server (DQ_TEST_PLATFORM=xcb).
    const char* platform = std::getenv("DQ_TEST_PLATFORM");
    setenv("QT_QPA_PLATFORM", platform && *platform ? platform : "offscreen", 1);
    int rc = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        // A question that no test scripted fails that test instead of showing a dialog.
        ScriptedPresenter unscripted;
        rc = RUN_ALL_TESTS();
    }
    testenv::TearDown();
    return rc;
}
