#pragma once
// EndingSignals: the signals by which the system asks the program to end (SIGTERM at logout or
// shutdown, SIGHUP when its terminal closes, SIGINT on Ctrl-C) become a call from the event loop
// of the thread that made this object, so that the program can end by its usual road instead of
// at once. A signal that is ignored when the object is made (SIGHUP under nohup, SIGINT in a
// background job) stays ignored.
//
// The handler itself only writes the signal's number to a pipe (whichever thread the signal
// interrupts); a socket notifier on that thread's event loop reads it and makes the call. The
// dispositions found at the start are restored when the object goes. Needs the application
// object; one may exist at a time (a second throws std::logic_error).
#include <signal.h>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

class EndingSignals {
  public:
    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGHUP, SIGINT};

    explicit EndingSignals(std::function<void(int signal)> onSignal);
    ~EndingSignals();
    EndingSignals(const EndingSignals&) = delete;
    EndingSignals& operator=(const EndingSignals&) = delete;

    // Whether the signal is caught here (not one that was ignored at the start).
    bool catches(int signal) const;

  private:
    struct Caught {
        int signal;
        struct sigaction before;
    };
    void readSignals();

    std::function<void(int)> onSignal_;
    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::vector<Caught> caught_;
    std::unique_ptr<QSocketNotifier> notifier_;
};
