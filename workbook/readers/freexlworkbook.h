#pragma once

#include "workbook/workbookreader.h"

namespace quorvel {

// Reads .xls workbooks with FreeXL inside the calling process. FreeXL is not
// safe on hostile files (very long cells make it read past its buffers), so
// only the separate reader program uses this; the program's windows read
// through ProcessWorkbookReader.
class FreeXlWorkbookReader final : public WorkbookReader {
public:
    std::unique_ptr<Worksheet> openFirstSheet(const std::string &path) override;
};

} // namespace quorvel
