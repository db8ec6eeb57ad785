// varnel: the library's e-book client. Closing the main window ends the program; so do SIGTERM,
// SIGHUP and SIGINT (logout, a closed terminal, Ctrl-C), by the same road.
#include "app/Program.h"

int main(int argc, char** argv) {
    return runProgram(argc, argv);
}
