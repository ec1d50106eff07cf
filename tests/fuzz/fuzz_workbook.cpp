// libFuzzer target: the reader program's own work on arbitrary bytes, in
// process. The bytes are handed to the FreeXL reader as a file, every row of
// its first sheet is written out as the reader program does, and the output
// must keep its form.

#include "workbook/readers/freexlworkbook.h"
#include "workbook/sheetpipe.h"
#include "tests/fuzz/sheetoutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const int fd = ::memfd_create("workbook", 0);
    if (fd < 0)
        std::abort();
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    char *text = nullptr;
    std::size_t length = 0;
    std::FILE *out = ::open_memstream(&text, &length);
    quorvel::FreeXlWorkbookReader reader;
    const int status = quorvel::sheetpipe::writeSheet(reader, path, out);
    std::fclose(out);
    checkSheetOutput(std::string_view(text, length), status);
    std::free(text);
    return 0;
}
