#pragma once
// The program from start to end, as `main` runs it: the environment it needs, the application
// object, every screen area registered, the launch once the event loop runs, and the ending,
// where every window, screen and worker goes before the application object does. `afterLaunch`
// runs right after the launch (checks of the whole program use it); answers the exit status.
#include <functional>

class AppDelegate;

int runProgram(int argc, char** argv, const std::function<void(AppDelegate&)>& afterLaunch = {});
