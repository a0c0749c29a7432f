// kanjianfang-cli check: a proofreading run over a file with the dictionaries of a program
// directory.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/context_pass.h"
#include "cli/run_arguments.h"
#include "documents/document_reader.h"
#include "documents/workbook_writer.h"
#include "engine/checking_engine.h"
#include "engine/run_settings.h"
#include "engine/run_texts.h"
#include "engine/text_snapshot.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace kjf::cli {

namespace {

struct CheckArguments : RunArguments {
    bool eachLine = false;
    bool context = false;
    std::string xlsx;
};

// Parses the options over the defaults from setup.ini; returns an error message or "".
std::string parseCheckArguments(const std::vector<std::string>& args, CheckArguments& out) {
    return parseRunArguments(
        args, "check", out,
        [&out](const std::vector<std::string>& all, std::size_t& i, std::string& error) {
            if (all[i] == "--each-line") {
                out.eachLine = true;
            } else if (all[i] == "--context") {
                if (i + 1 >= all.size() || (all[i + 1] != "0" && all[i + 1] != "1")) {
                    error = "--context must be 0 or 1";
                } else {
                    out.context = all[++i] == "1";
                }
            } else if (all[i] == "--xlsx") {
                if (i + 1 >= all.size() || all[i + 1].empty()) {
                    error = "--xlsx needs a file";
                } else {
                    out.xlsx = all[++i];
                }
            } else {
                return false;
            }
            return true;
        });
}

class CheckPrinter {
  public:
    explicit CheckPrinter(const CheckArguments& args) : m_args(args) {}

    void header() const {
        if (!m_args.json) {
            std::fputs(m_args.eachLine ? "行\t序号\t错误\t建议\t类型\t位置\t长度\n"
                                       : "序号\t错误\t建议\t类型\t位置\t长度\n",
                       stdout);
        }
    }

    void run(const rg_ChaCuoYinQing& engine, const std::vector<rg_BiaoJiCiYuLei>& findings,
             std::size_t line) const {
        if (m_args.json) {
            std::string out = "{";
            if (m_args.eachLine) {
                out += "\"line\":" + std::to_string(line) + ",";
            }
            out += "\"findings\":[";
            for (std::size_t i = 0; i < findings.size(); ++i) {
                const auto& f = findings[i];
                if (out.size() > 65536) {
                    std::fputs(out.c_str(), stdout);  // long runs: never hold all of it
                    out.clear();
                }
                out += i ? ",{" : "{";
                out += "\"type\":" + std::to_string(f.type) +
                       ",\"position\":" + std::to_string(f.position) +
                       ",\"length\":" + std::to_string(f.length) +
                       ",\"word\":" + jsonString(f.word) +
                       ",\"suggestion\":" + jsonString(f.suggestion) + "}";
            }
            out += "],\"count\":" + std::to_string(findings.size()) +
                   ",\"quantization\":" + std::to_string(engine.quantization()) +
                   ",\"engineType\":" + std::to_string(m_args.options.engineType) +
                   ",\"accuracyBoost\":" + std::to_string(m_args.options.accuracyBoost) + "}\n";
            std::fputs(out.c_str(), stdout);
            return;
        }
        for (std::size_t i = 0; i < findings.size(); ++i) {
            const auto& f = findings[i];
            std::string row;
            if (m_args.eachLine) {
                row += std::to_string(line) + "\t";
            }
            row += std::to_string(i + 1) + "\t" + tsvCell(f.word) + "\t" +
                   tsvCell(f.type == 1 ? std::u16string_view(f.suggestion) : u"") + "\t" +
                   (f.type == 1 ? "错误" : "") + "\t" + std::to_string(f.position) + "\t" +
                   std::to_string(f.length) + "\n";
            std::fputs(row.c_str(), stdout);
        }
    }

  private:
    const CheckArguments& m_args;
};

// Shows the progress on standard error the way the progress window does, when it is a terminal.
struct TerminalProgress {
    bool shown = false;
};

}  // namespace

int checkCommand(const std::string& root, const std::vector<std::string>& args) {
    CheckArguments parsed;
    parsed.options = readRunOptions(root);
    if (const auto error = parseCheckArguments(args, parsed); !error.empty()) {
        return usageError(error);
    }
    std::u16string text;
    if (!readRunInput(parsed.file, text)) {
        return 2;
    }

    rg_ChaCuoYinQing engine(root);
    bindEnabledListsFromSettings(engine, &root);
    TerminalProgress progress;
    if (::isatty(STDERR_FILENO) != 0) {
        engine.onProgress.bind(
            [](void* owner, rg_ChaCuoYinQing&, std::int32_t, double speed, std::int32_t percent,
               std::int32_t) {
                static_cast<TerminalProgress*>(owner)->shown = true;
                std::fputc('\r', stderr);
                printText(stderr, speedText(speed));
                std::fprintf(stderr, " %d%%", percent);
                std::fflush(stderr);
            },
            &progress, 0);
    }
    engine.loadDictionaries();
    engine.waitForLoading();
    ContextPass context;
    if (parsed.context) {
        if (std::string message; !loadContextPass(root, engine, context, message)) {
            std::fprintf(stderr, "kanjianfang-cli: context check unavailable: %s\n",
                         message.c_str());
            return 2;
        }
    }

    CheckPrinter printer(parsed);
    printer.header();
    std::u16string piece;
    bindTextSnapshot(engine, &piece);
    std::size_t total = 0;
    std::vector<WorkbookRow> workbookRows;
    const auto runOver = [&](std::u16string_view part, std::size_t line) {
        piece.assign(part);
        engine.runCheck(static_cast<std::int32_t>(piece.size()), parsed.options.quantization,
                        parsed.options.engineType, parsed.options.accuracyBoost);
        const std::vector<rg_BiaoJiCiYuLei> findings =
            parsed.context ? applyContextPass(context, engine, piece) : engine.findings();
        total += findings.size();
        printer.run(engine, findings, line);
        if (!parsed.xlsx.empty()) {
            appendWorkbookRows(findings, workbookRows);
        }
    };
    if (!parsed.eachLine) {
        runOver(text, 0);
    } else {
        std::size_t start = 0;
        std::size_t line = 1;
        while (start < text.size()) {
            auto end = text.find(u'\n', start);
            if (end == std::u16string::npos) {
                end = text.size();
            }
            runOver(std::u16string_view(text).substr(start, end - start), line++);
            start = end + 1;
        }
    }
    if (progress.shown) {
        std::fputc('\n', stderr);
    }
    printText(stderr, checkFinishedText(total));
    std::fputc('\n', stderr);
    if (!parsed.xlsx.empty()) {
        if (const auto written = writeFindingsWorkbook(parsed.xlsx, workbookRows); !written.ok) {
            std::fprintf(stderr, "kanjianfang-cli: cannot write %s: ", parsed.xlsx.c_str());
            printText(stderr, written.message);
            std::fputc('\n', stderr);
            return 2;
        }
    }
    return total == 0 ? 0 : 1;
}

}  // namespace kjf::cli
