#pragma once

// What the fuzz targets of the reader program's own work ask of its output.

#include "workbook/sheetpipe.h"

#include <cstdlib>
#include <string_view>

// The greeting, then a sheet or a failure, and an end for a finished sheet;
// status is what writeSheet() returned.
inline void checkSheetOutput(std::string_view sent, int status)
{
    if (sent.substr(0, sizeof quorvel::sheetpipe::kGreeting) != "QVSHEET 1\n")
        std::abort();
    if (status == 0 && sent.substr(sent.size() - 2) != "X\n")
        std::abort();
    if (status == 2 && sent.find("\nF ") == std::string_view::npos)
        std::abort();
}
