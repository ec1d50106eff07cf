#pragma once

#include "workbook/workbookreader.h"

namespace quorvel {

// Reads a CSV text as a sheet of one worksheet: RFC 4180 quoting, records
// ended by CR, LF or CR LF, and the separator (comma, semicolon or tab) that
// occurs most often in the first line. Every field is a text, kept as written
// up to a NUL character, if any. A quote left open fails the reading with the
// row where it opened, before any row is read.
class CsvWorkbookReader final : public WorkbookReader {
public:
    std::unique_ptr<Worksheet> openFirstSheet(const std::string &path) override;
};

// The text of a CSV file, in UTF-8.
struct CsvText {
    std::string text;
    // Where the first byte lies that is not UTF-8, in a text that is UTF-8
    // apart from a few such bytes; npos in a text that is all in order.
    std::size_t firstStrayByte = std::string::npos;
};

// The bytes of a CSV file as UTF-8: UTF-8 with or without its byte-order
// mark, UTF-16 with a mark, otherwise GB18030 (which holds GBK and GB2312).
// Bytes that are UTF-8 but for a few stray bytes (at most one for every four
// characters of two bytes or more, or any with the UTF-8 mark) are a damaged
// UTF-8 text, not GB18030: they are returned as they are, with the first
// stray byte's place. Throws WorkbookError(Encoding) when the bytes are none
// of these, or look like UTF-16 without its mark (NUL bytes throughout).
CsvText csvTextAsUtf8(std::string bytes);

} // namespace quorvel
