// quorvel-sheetreader FILE: writes the first worksheet of a workbook (.xls,
// .xlsx, .ods, or a .csv text) to standard output (the format is in
// sheetpipe.h). Quorvel runs it as a separate process so that a workbook that
// upsets a reading library can only end this program, never Quorvel itself.

#include "workbook/readers/anyworkbook.h"
#include "workbook/sheetpipe.h"

#include <cstdio>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer holds freed memory back for a while (256 MiB of it) to
// find late uses. Kept small, the resident size that Quorvel watches is what
// the reader itself holds.
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=8";
}
#endif

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 64;
    }
    // The rows go out on what was standard output; whatever a library may
    // print there itself goes to standard error instead.
    const int pipeFd = dup(STDOUT_FILENO);
    std::FILE *pipe = pipeFd >= 0 ? fdopen(pipeFd, "w") : nullptr;
    if (!pipe || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        std::perror("quorvel-sheetreader");
        return 71;
    }
    static char buffer[1 << 16];
    std::setvbuf(pipe, buffer, _IOFBF, sizeof buffer);
    quorvel::AnyWorkbookReader reader;
    return quorvel::sheetpipe::writeSheet(reader, argv[1], pipe);
}
