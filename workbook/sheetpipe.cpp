#include "workbook/sheetpipe.h"

#include <charconv>
#include <cstdlib>
#include <string>

namespace quorvel::sheetpipe {

namespace {

template <typename T>
void appendNumber(std::string &out, T value)
{
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

void appendCell(std::string &out, const Cell &cell)
{
    switch (cell.kind) {
    case Cell::Kind::Empty:
        out += "E\n";
        return;
    case Cell::Kind::Number:
        // The shortest text that reads back as the same number.
        out += "N ";
        appendNumber(out, cell.number);
        out += '\n';
        return;
    case Cell::Kind::Text:
        out += "T ";
        appendNumber(out, cell.text.size());
        out += '\n';
        out += cell.text;
        out += '\n';
        return;
    }
}

} // namespace

int writeSheet(WorkbookReader &reader, const std::string &path, std::FILE *out)
{
    std::fprintf(out, "%s\n", kGreeting);
    try {
        auto sheet = reader.openFirstSheet(path);
        int told = sheet->usedRows();
        std::fprintf(out, "R %d\n", told);
        SheetRow row;
        std::string text;
        for (int sent = 1; sheet->nextRow(row); ++sent) {
            text.clear();
            for (const Cell &cell : row)
                appendCell(text, cell);
            // A guess that changed by more than a hundredth, now and then:
            // enough for a progress bar.
            if (sent % 256 == 0) {
                const int guess = sheet->usedRows();
                if (std::abs(guess - told) > told / 100) {
                    told = guess;
                    text += "R ";
                    appendNumber(text, told);
                    text += '\n';
                }
            }
            std::fwrite(text.data(), 1, text.size(), out);
        }
        std::fputs("X\n", out);
    } catch (const WorkbookError &e) {
        std::fprintf(out, "F %d %d\n", static_cast<int>(e.failure()), e.row());
        std::fflush(out);
        return 2;
    }
    return std::fflush(out) == 0 ? 0 : 1;
}

} // namespace quorvel::sheetpipe
