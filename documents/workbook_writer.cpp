#include "documents/workbook_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <vector>

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
                const std::string cell = utf16ToUtf8Lossy(row[c]);
                error = worksheet_write_string(sheet, static_cast<lxw_row_t>(r), c, cell.c_str(),
                                               format);
            }
        }
    }
    // Closing writes the file and frees the workbook, also after an error above.
    const lxw_error closed = workbook_close(workbook);
    return error != LXW_NO_ERROR ? error : closed;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void appendWorkbookRows(const std::vector<rg_BiaoJiCiYuLei>& findings,
                        std::vector<WorkbookRow>& rows) {
    for (const auto& f : findings) {
        const bool error = f.type == static_cast<std::int32_t>(FindingType::Error);
        rows.push_back({utf8ToUtf16(std::to_string(rows.size() + 1)), f.word,
                        error ? f.suggestion : std::u16string(), error ? u"错误" : u""});
    }
}

WorkbookWriteResult writeFindingsWorkbook(const std::string& path,
                                          const std::vector<WorkbookRow>& rows) {
    struct stat old {};
    const bool hadFile = ::stat(path.c_str(), &old) == 0;
    if (hadFile && !S_ISREG(old.st_mode)) {
        return failure(u"无法保存：目标不是普通文件。");
    }
    mode_t mode = 0666;
    if (hadFile) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }

    const auto slash = path.find_last_of('/');
    std::string temp = directoryOf(path) + "/." +
                       path.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return failure(u"无法在目标文件夹中创建文件。");
    }
    ::close(fd);
    temp.assign(name.data());

    if (const lxw_error error = writeWorkbook(temp, rows); error != LXW_NO_ERROR) {
        ::unlink(temp.c_str());
        return failure(libraryMessage(error));
    }
    // The library closes its file without flushing it to disk; do that before the rename makes
    // it the user's file.
    const int written = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = written >= 0 && ::fchmod(written, mode) == 0 && ::fsync(written) == 0;
    if (written >= 0) {
        ok = ::close(written) == 0 && ok;
    }
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return failure(u"无法保存文件。");
    }
    return WorkbookWriteResult{true, {}};
}

}  // namespace kjf
