#include "documents/workbook_writer.h"

#include <xlsxwriter.h>

#include <vector>

#include "text/files.h"
#include "text/utf.h"

namespace kjf {

namespace {

WorkbookWriteResult failure(std::u16string message) {
    return WorkbookWriteResult{false, std::move(message)};
}

// The library reports its failures in English; they are passed on as they are.
std::u16string libraryMessage(lxw_error error) {
    return u"生成工作簿失败：" + utf8ToUtf16(lxw_strerror(error));
}

// A cell's text for the library, which writes control characters as _xHHHH_ but passes U+FFFE
// and U+FFFF on as they are, which no XML may hold (a spreadsheet program then calls the file
// damaged): they are written in the same escaped form.
std::string cellText(std::u16string_view text) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == 0xFFFE || text[i] == 0xFFFF) {
            out += utf16ToUtf8Lossy(text.substr(start, i - start));
            if (i < text.size()) {
                out += text[i] == 0xFFFE ? "_xFFFE_" : "_xFFFF_";
            }
            start = i + 1;
        }
    }
    return out;
}

lxw_error writeWorkbook(const std::string& path, const std::vector<WorkbookRow>& rows) {
    lxw_workbook* workbook = workbook_new(path.c_str());
    if (workbook == nullptr) {
        return LXW_ERROR_CREATING_XLSX_FILE;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "sheet1");
    lxw_format* format = workbook_add_format(workbook);
    lxw_error error = LXW_NO_ERROR;
    if (sheet == nullptr || format == nullptr) {
        error = LXW_ERROR_MEMORY_MALLOC_FAILED;
    } else {
        format_set_border(format, LXW_BORDER_THIN);
        format_set_align(format, LXW_ALIGN_CENTER);
        format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
        format_set_text_wrap(format);
        const WorkbookRow header{u"序号", u"错误", u"建议", u"类型"};
        for (std::size_t r = 0; r <= rows.size() && error == LXW_NO_ERROR; ++r) {
            const WorkbookRow& row = r == 0 ? header : rows[r - 1];
            for (lxw_col_t c = 0; c < 4 && error == LXW_NO_ERROR; ++c) {
                const std::string cell = cellText(row[c]);
                error = worksheet_write_string(sheet, static_cast<lxw_row_t>(r), c, cell.c_str(),
                                               format);
            }
        }
    }
    // Closing writes the file and frees the workbook, also after an error above.
    const lxw_error closed = workbook_close(workbook);
    return error != LXW_NO_ERROR ? error : closed;
}

}  // namespace

void appendWorkbookRow(const rg_BiaoJiCiYuLei& f, std::vector<WorkbookRow>& rows) {
    const bool error = f.type == FindingType::Error;
    rows.push_back({utf8ToUtf16(std::to_string(rows.size() + 1)), f.word,
                    error ? f.suggestion : std::u16string(),
                    std::u16string(findingTypeText(f.type, f.source))});
}

void appendWorkbookRows(const std::vector<rg_BiaoJiCiYuLei>& findings,
                        std::vector<WorkbookRow>& rows) {
    for (const auto& f : findings) {
        appendWorkbookRow(f, rows);
    }
}

WorkbookWriteResult writeFindingsWorkbook(const std::string& path,
                                          const std::vector<WorkbookRow>& rows) {
    lxw_error libraryError = LXW_NO_ERROR;
    // The library writes the temporary file by its name and closes it without flushing it to
    // disk; replaceFile flushes it before the rename makes it the user's file.
    const WriteResult written = replaceFile(path, [&](int, const std::string& tempPath) {
        libraryError = writeWorkbook(tempPath, rows);
        return libraryError == LXW_NO_ERROR;
    });
    // The system's reason, where it gave one, after what failed.
    const auto because = [&](std::u16string what) {
        if (written.systemError != 0) {
            // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for a literal
            // plus a temporary string here.
            what += u"（";
            what += systemErrorText(written.systemError);
            what += u"）";
        }
        return failure(what);
    };
    switch (written.outcome) {
        case ReplaceOutcome::Replaced:
            return WorkbookWriteResult{true, {}};
        case ReplaceOutcome::NotAFile:
            return failure(u"无法保存：目标不是普通文件。");
        case ReplaceOutcome::CannotCreate:
            return because(u"无法在目标文件夹中创建文件。");
        case ReplaceOutcome::WriteFailed:
            if (libraryError != LXW_NO_ERROR) {
                return failure(libraryMessage(libraryError));
            }
            break;
        case ReplaceOutcome::CannotReplace:
        case ReplaceOutcome::Refused:
            break;
    }
    return because(u"无法保存文件。");
}

}  // namespace kjf
