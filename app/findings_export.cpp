// Kept apart from the error list's model: the core's row type and the model's row struct share
// the name kjf::ErrorListRow, so no file may include both headers.
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
