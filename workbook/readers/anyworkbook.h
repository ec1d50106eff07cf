#pragma once

#include "workbook/workbookreader.h"

namespace quorvel {

// The kinds of file the import reads, told apart by their first bytes.
enum class WorkbookFormat { Xls, Zip, Csv, Unknown };

// An OLE2 compound file is an .xls, a zip an .xlsx or .ods (which of the two
// the zip's content says); anything else is a CSV text only when its name
// ends in .csv. Throws WorkbookError: MissingFile, NotAFile for a folder or
// a device.
WorkbookFormat workbookFormat(const std::string &path);

// Reads every format, each with its own reader, chosen by workbookFormat().
class AnyWorkbookReader final : public WorkbookReader {
public:
    std::unique_ptr<Worksheet> openFirstSheet(const std::string &path) override;
};

} // namespace quorvel
