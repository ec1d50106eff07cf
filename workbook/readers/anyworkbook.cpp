#include "workbook/readers/anyworkbook.h"

#include "workbook/readers/csvworkbook.h"
#include "workbook/readers/freexlworkbook.h"
#include "workbook/readers/zipworkbook.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace quorvel {

WorkbookFormat workbookFormat(const std::string &path)
{
    // A folder (or a device) chosen by its name, which may well end in .csv.
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw WorkbookError(WorkbookFailure::NotAFile);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw WorkbookError(WorkbookFailure::MissingFile);
    char head[8] = {};
    in.read(head, sizeof head);
    const std::string_view first(head, static_cast<std::size_t>(in.gcount()));
    if (first == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return WorkbookFormat::Xls;
    if (first.starts_with("PK\x03\x04"))
        return WorkbookFormat::Zip;
    std::string name = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name == ".csv" ? WorkbookFormat::Csv : WorkbookFormat::Unknown;
}

std::unique_ptr<Worksheet> AnyWorkbookReader::openFirstSheet(const std::string &path)
{
    switch (workbookFormat(path)) {
    case WorkbookFormat::Xls:
        return FreeXlWorkbookReader().openFirstSheet(path);
    case WorkbookFormat::Zip:
        return ZipWorkbookReader().openFirstSheet(path);
    case WorkbookFormat::Csv:
        return CsvWorkbookReader().openFirstSheet(path);
    case WorkbookFormat::Unknown:
        break;
    }
    throw WorkbookError(WorkbookFailure::NotWorkbook);
}

} // namespace quorvel
