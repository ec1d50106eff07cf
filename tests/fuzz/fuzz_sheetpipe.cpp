// libFuzzer target: what Quorvel makes of anything a reader program may send.
// The bytes are sent by `cat` standing in for the reader; ProcessWorkbookReader
// must read them as a sheet or fail with a WorkbookError, nothing else.

#include "workbook/processworkbook.h"

#include <QCoreApplication>

#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_sheetpipe";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static const int fd = ::memfd_create("output", 0);
    if (fd < 0)
        std::abort();
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    // cat opens the file afresh through the path.
    const std::string path = "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd);

    quorvel::ProcessWorkbookReader reader(QStringLiteral("/bin/cat"),
                                          quorvel::ReaderLimits{2000, 10000, 1024 * 1024});
    try {
        auto sheet = reader.openFirstSheet(path);
        if (sheet->usedRows() > quorvel::kMaxSheetRows)
            std::abort();
        int rows = 0;
        quorvel::SheetRow row;
        while (sheet->nextRow(row)) {
            if (++rows > quorvel::kMaxSheetRows || sheet->usedRows() > quorvel::kMaxSheetRows)
                std::abort();
            for (const auto &cell : row)
                if (cell.kind == quorvel::Cell::Kind::Text
                    && quorvel::utf8Characters(cell.text) > static_cast<std::size_t>(quorvel::kMaxCellCharacters))
                    std::abort();
        }
    } catch (const quorvel::WorkbookError &) {
    }
    return 0;
}
