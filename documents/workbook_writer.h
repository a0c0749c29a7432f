// The findings workbook: the error list written to an .xlsx file.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/finding.h"

namespace kjf {

// One row of the error list as the user sees it: 序号, 错误, 建议, 类型.
using WorkbookRow = std::array<std::u16string, 4>;

// The most finding rows a sheet can hold below its header row.
inline constexpr std::size_t kMaxWorkbookRows = 1048575;

// Appends the error list's row for one finding, numbered on from the rows already in rows.
void appendWorkbookRow(const rg_BiaoJiCiYuLei& finding, std::vector<WorkbookRow>& rows);

// Appends the error list's rows for findings, numbered on from the rows already in rows: the
// row number, the word, the suggestion of an Error (empty for a Suspected finding) and "错误"
// for an Error (empty for a Suspected finding).
void appendWorkbookRows(const std::vector<rg_BiaoJiCiYuLei>& findings,
                        std::vector<WorkbookRow>& rows);

struct [[nodiscard]] WorkbookWriteResult {
    bool ok = false;
    std::u16string message;  // why the workbook was not written; empty on success
};

// Writes one sheet "sheet1": the header 序号/错误/建议/类型 in row 1, then rows in order, every
// cell a text cell (an empty text is a blank cell) with thin borders all round, centred both
// ways and wrapped. The workbook is written to a temporary file beside path and renamed into
// place, so a failure leaves an existing file whole. path is UTF-8. Any thread.
WorkbookWriteResult writeFindingsWorkbook(const std::string& path,
                                          const std::vector<WorkbookRow>& rows);

}  // namespace kjf
