#pragma once

#include "platform/workbookreader.h"

namespace quorvel {

// Reads .xlsx and .ods workbooks with liborcus, which of the two by what the
// zip holds. A formula cell gives the result saved with it; a cell formatted
// as a date gives YYYY-MM-DD. Like FreeXL, only the reader program uses it.
class OrcusWorkbookReader final : public WorkbookReader {
public:
    std::unique_ptr<Worksheet> openFirstSheet(const std::string &path) override;
};

} // namespace quorvel
