#include "platform/workbookreader.h"

namespace quorvel {

namespace {

std::string reason(WorkbookFailure failure, int row, const std::string &detail)
{
    switch (failure) {
    case WorkbookFailure::MissingFile:
        return "找不到文件，或没有读取它的权限";
    case WorkbookFailure::NotXls:
        return "文件不是Excel 97-2003工作簿（.xls）";
    case WorkbookFailure::Damaged:
        return "工作簿已损坏，无法读取";
    case WorkbookFailure::Password:
        return "工作簿设有密码保护，无法读取";
    case WorkbookFailure::NoSheet:
        return "工作簿中没有工作表";
    case WorkbookFailure::CellTooLong:
        return "第" + std::to_string(row) + "行有超过" + std::to_string(kMaxCellCharacters)
               + "个字符的单元格";
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

} // namespace quorvel
