#pragma once
// The program from start to end, as `main` runs it: the environment it needs, the application
// object, every screen area registered, the launch once the event loop runs, and the ending,
// where every window, screen and worker goes before the application object does. SIGTERM, SIGHUP
// and SIGINT (unless ignored when it starts) end it by that same road, as closing its main window
// does. `afterLaunch` runs right after the launch (checks of the whole program use it); answers
// the exit status.
//
// The steps around the application object and its event loop are functions of their own, so that
// the journey tests, which drive an event loop of their own, start and end the program through the
// same ones: prepareProgram() before the application object is made, setUpProgram() once it
// exists, then AppDelegate's applicationDidFinishLaunching() once the loop runs and
// applicationWillTerminate() after it.
#include <functional>

class AppDelegate;

int runProgram(int argc, char** argv, const std::function<void(AppDelegate&)>& afterLaunch = {});

// The environment and application attributes the program needs, before the application object.
void prepareProgram();
// The application's name, its logging, the diagnostic groups, every screen area's resources and
// the seams between areas; throws SeamError when a seam has no provider or two.
void setUpProgram();
