// varnel: the library's e-book client. Closing the main window ends the program.
#include "app/Program.h"

int main(int argc, char** argv) {
    return runProgram(argc, argv);
}
