#pragma once

// The way every table leaves Quorvel for a spreadsheet ("导出至Excel"): a new
// .xlsx workbook opened in LibreOffice as an untitled document, else in WPS
// 表格; without either, or when each fails to start, saved where the teacher
// says, after being told why.

#include "platform/services.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace quorvel {

struct Sheet;

// The title merged over the table's width, then every row, header first,
// framed. Below the header, a cell of a column numberColumn names that holds a
// plain number ("12", "-2.25") is stored as that number, so that a sum over it
// counts; every other cell stays text, digits or not.
Sheet framedTable(const QString &title, const std::vector<QStringList> &rows,
                  const std::function<bool(int column)> &numberColumn);

// Exports the sheet of this grade and class. `what` names the data in the
// messages and the file names ("评价数据"). Failures are told to the teacher
// here, never thrown.
void exportSheet(const Services &services, Sheet sheet, const QString &what,
                 const QString &grade, const QString &className);

} // namespace quorvel
