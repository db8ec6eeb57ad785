// The journey program's main: the screen tests' headless settings, then the program's own steps
// around the application object, as runProgram takes them (each journey then launches and ends
// the program through AppDelegate, as runProgram does around its event loop).
#include <gtest/gtest.h>

#include <QApplication>

#include "app/Program.h"
#include "support/GuiTestEnvironment.h"

int main(int argc, char** argv) {
    const auto home = testing_support::prepareGuiTestEnvironment();
    prepareProgram();
    QApplication application(argc, argv);
    setUpProgram();
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    testing_support::removeGuiTestHome(home);
    return status;
}
