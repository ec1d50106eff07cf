// quorvel-sheetreader FILE: writes the first worksheet of an .xls workbook to
// standard output (the format is in sheetpipe.h). Quorvel runs it as a
// separate process so that a workbook that upsets the reading library can
// only end this program, never Quorvel itself.

#include "platform/freexlworkbook.h"
#include "platform/sheetpipe.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.xls\n", argv[0]);
        return 64;
    }
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    quorvel::FreeXlWorkbookReader reader;
    return quorvel::sheetpipe::writeSheet(reader, argv[1], stdout);
}
