// Writes an issue's page record without pause until it is killed: version after version, each a
// record of a different number of pages whose every value tells the version (the file's size is
// the version, the page's width its index), so that a reader can tell a whole version from a
// mixture of two or a cut one. Prints nothing; the test reads the file.
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
