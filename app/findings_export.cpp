#include "app/findings_export.h"

#include <QFile>

#include "documents/workbook_writer.h"

namespace kjf {

ListExportResult writeErrorListWorkbook(const QString& path,
                                        const std::vector<ErrorListCells>& rows) {
    const WorkbookWriteResult written =
        writeFindingsWorkbook(QFile::encodeName(path).toStdString(), rows);
    return {written.ok, QString::fromStdU16String(written.message)};
}

}  // namespace kjf
