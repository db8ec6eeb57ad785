#include "ShellGuiSupport.h"

PLAT_DEFINE_CLASS(shell_testing::TestScreen, ui::ViewController, [](auto& c) {
    c.method("setFeatureCode:", &shell_testing::TestScreen::setFeatureCode)
        .method("setDelegate:", &shell_testing::TestScreen::setDelegate)
        .method("updateLibraryForceUpdate:", &shell_testing::TestScreen::updateLibraryForceUpdate)
        .method("startSearch:", &shell_testing::TestScreen::startSearch);
})
