#pragma once
// The shell's side of the seams (app/services): the main window, as the program registered it
// with the global service at launch. The composition root binds it.
#include <memory>

class MainWindow;

std::shared_ptr<MainWindow> makeMainWindow();
