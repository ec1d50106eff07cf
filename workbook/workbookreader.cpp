#include "workbook/workbookreader.h"

#include <fstream>

namespace quorvel {

namespace {

std::string reason(WorkbookFailure failure, int row, const std::string &detail)
{
    switch (failure) {
    case WorkbookFailure::MissingFile:
        return "找不到文件，或没有读取它的权限";
    case WorkbookFailure::NotWorkbook:
        return "文件不是可导入的表格（.xls、.xlsx、.ods或.csv）";
    case WorkbookFailure::Damaged:
        return "工作簿已损坏，无法读取";
    case WorkbookFailure::Password:
        return "工作簿设有密码保护，无法读取";
    case WorkbookFailure::NoSheet:
        return "工作簿中没有工作表";
    case WorkbookFailure::CellTooLong:
        return "第" + std::to_string(row) + "行有超过" + std::to_string(kMaxCellCharacters)
               + "个字符的单元格";
    case WorkbookFailure::Encoding:
        return "CSV文件的编码无法识别（应为UTF-8、UTF-16或GB18030）";
    case WorkbookFailure::NotAFile:
        return "所选的不是文件（是文件夹或设备）";
    case WorkbookFailure::UnclosedQuote:
        return "第" + std::to_string(row) + "行的引号没有结束";
    case WorkbookFailure::BadUtf8:
        return "CSV文件第" + std::to_string(row) + "行有不属于UTF-8编码的字节";
    case WorkbookFailure::BadCell:
        return "第" + std::to_string(row) + "行有无法读取的单元格";
    case WorkbookFailure::Oversized:
        return "工作簿的内容解压后过大（超过" + std::to_string(kMaxPartBytes >> 20)
               + " MB，或压缩比超过" + std::to_string(kMaxPartRatio) + ":1）";
    case WorkbookFailure::Unreadable:
        break;
    }
    return "工作簿无法读取（" + detail + "）";
}

} // namespace

WorkbookError::WorkbookError(WorkbookFailure failure, int row, const std::string &detail)
    : std::runtime_error(reason(failure, row, detail)), failure_(failure), row_(row)
{
}

std::string readWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw WorkbookError(WorkbookFailure::MissingFile);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        throw WorkbookError(WorkbookFailure::MissingFile);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    if (!in.read(bytes.data(), size))
        throw WorkbookError(WorkbookFailure::MissingFile);
    return bytes;
}

} // namespace quorvel
