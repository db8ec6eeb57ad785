// Writes an issue's page record without pause until it is killed: version after version, each a
// record of another number of pages in which every page tells the version (its file's size and
// its height), so that a reader can tell a whole version from a mixture of two or a cut one
// (PageRecordVersions.h). Prints nothing; the test reads the file.
//   page_record_kill_child <record path> <first version>
#include <cstdlib>
#include <string>

#include "PageRecordVersions.h"

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const std::filesystem::path path = argv[1];
    for (long version = std::atol(argv[2]);; ++version) {
        if (page_record_kill::version(version).write(path))
            return 1;
    }
}
