#include <gtest/gtest.h>

#include <QApplication>

#include "support/GuiTestEnvironment.h"
#include "support/WiringCheck.h"

// Screen tests run headless unless the caller says otherwise; each process gets its own temporary
// home, and holds every message it sends by name against its receivers.
int main(int argc, char** argv) {
    const auto home = testing_support::prepareGuiTestEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // the web engine needs it
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::checkMessageWiring();
    const int rc = RUN_ALL_TESTS();
    testing_support::removeGuiTestHome(home);
    return rc;
}
