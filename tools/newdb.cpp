// quorvel-newdb DIRECTORY
// Creates an empty, password-protected xsdata.d with table `student` in
// DIRECTORY. An existing file is never touched.

#include "store/error.h"
#include "store/schema.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string path = quorvel::store::databasePath(argv[1]);
    try {
        quorvel::store::createDatabase(path);
    } catch (const quorvel::store::DbError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("created %s\n", path.c_str());
    return 0;
}
