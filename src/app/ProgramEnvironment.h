#pragma once
// What the program sets up around its screens: the media backend it plays with, a terminal kept
// free of the web engine's own chatter unless the user asks for it, and the smoke check that
// scripts/start.sh --smoke asks for (VARNEL_SMOKE_CHECK set): once the home page shows its rows
// the program says so on standard output and closes its main window as a user would.
#include <QTimer>
#include <memory>

class AppDelegate;

// Before the application object is made.
void prepareProgramEnvironment();
// After the application object is made.
void quietQtLogging();
// After launch; answers nothing unless VARNEL_SMOKE_CHECK is set, otherwise the check's timer,
// which the caller keeps until the event loop ends.
std::unique_ptr<QTimer> startSmokeCheckIfAsked(AppDelegate& delegate);
