#pragma once

#include "platform/workbookreader.h"

namespace quorvel {

// Reads a CSV text as a sheet of one worksheet: RFC 4180 quoting, records
// ended by CR, LF or CR LF, and the separator (comma, semicolon or tab) that
// occurs most often in the first line. Every field is a text, kept as written.
class CsvWorkbookReader final : public WorkbookReader {
public:
    std::unique_ptr<Worksheet> openFirstSheet(const std::string &path) override;
};

// The bytes of a CSV file as UTF-8: UTF-8 with or without its byte-order
// mark, UTF-16 with a mark, otherwise GB18030 (which holds GBK and GB2312).
// Throws WorkbookError(Encoding) when the bytes are none of these, or hold a
// NUL character.
std::string csvTextAsUtf8(std::string bytes);

} // namespace quorvel
