// Writing the error list's cells to the findings workbook.
#pragma once

#include <QString>
#include <vector>

#include "documents/workbook_writer.h"

namespace kjf {

// The error list's columns 序号, 错误, 建议 and 类型 of one row, as shown.
using ErrorListCells = WorkbookRow;

struct [[nodiscard]] ListExportResult {
    bool ok = false;
    QString message;  // why nothing was written; empty on success
};

// Writes rows under the header to the workbook at path (see writeFindingsWorkbook: one sheet,
// every cell a bordered, centred, wrapped text cell; an existing file stays whole on failure).
// Any thread.
ListExportResult writeErrorListWorkbook(const QString& path,
                                        const std::vector<ErrorListCells>& rows);

}  // namespace kjf
