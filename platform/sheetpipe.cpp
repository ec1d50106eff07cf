#include "platform/sheetpipe.h"

namespace quorvel::sheetpipe {

namespace {

void writeCell(const Cell &cell, std::FILE *out)
{
    switch (cell.kind) {
    case Cell::Kind::Empty:
        std::fputs("E\n", out);
        return;
    case Cell::Kind::Number:
        std::fprintf(out, "N %.17g\n", cell.number);
        return;
    case Cell::Kind::Text: {
        const QByteArray bytes = cell.text.toUtf8();
        std::fprintf(out, "T %lld\n", static_cast<long long>(bytes.size()));
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
        std::fputc('\n', out);
        return;
    }
    }
}

} // namespace

int writeSheet(WorkbookReader &reader, const QString &path, std::FILE *out)
{
    std::fprintf(out, "%s\n", kGreeting);
    try {
        auto sheet = reader.openFirstSheet(path);
        std::fprintf(out, "R %d\n", sheet->usedRows());
        SheetRow row;
        while (sheet->nextRow(row))
            for (const Cell &cell : row)
                writeCell(cell, out);
        std::fputs("X\n", out);
    } catch (const WorkbookError &e) {
        std::fprintf(out, "F %d %d\n", static_cast<int>(e.failure()), e.row());
        std::fflush(out);
        return 2;
    }
    return std::fflush(out) == 0 ? 0 : 1;
}

} // namespace quorvel::sheetpipe
