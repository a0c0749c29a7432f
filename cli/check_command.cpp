// kanjianfang-cli check: a proofreading run over a file with the dictionaries of a program
// directory.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/check_outputs.h"
#include "cli/cli_common.h"
#include "cli/json_output.h"
#include "cli/run_arguments.h"
#include "documents/document_reader.h"
#include "documents/workbook_writer.h"
#include "engine/checking_engine.h"
#include "run/corrections.h"
#include "run/run_texts.h"
#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace kjf::cli {

namespace {

struct CheckArguments : RunArguments {
    bool eachLine = false;
    std::string xlsx;
    std::string corrected;
    std::string revisions;
};

// Parses the options over the defaults from setup.ini; returns an error message or "".
std::string parseCheckArguments(const std::vector<std::string>& args, CheckArguments& out) {
    return parseRunArguments(
        args, "check", out,
        [&out](const std::vector<std::string>& all, std::size_t& i, std::string& error) {
            if (all[i] == "--each-line") {
                out.eachLine = true;
            } else if (all[i] == "--xlsx" || all[i] == "--corrected" || all[i] == "--revisions") {
                if (i + 1 >= all.size() || all[i + 1].empty()) {
                    error = all[i] + " needs a file";
                } else {
                    (all[i] == "--xlsx"        ? out.xlsx
                     : all[i] == "--corrected" ? out.corrected
                                               : out.revisions) = all[i + 1];
                    ++i;
                }
            } else {
                return false;
            }
            return true;
        });
}

// The JSON name of who found a finding.
const char* sourceName(FindingSource source) {
    switch (source) {
        case FindingSource::Context:
            return "context";
        case FindingSource::Rule:
            return "rule";
        case FindingSource::Dictionary:
            break;
    }
    return "dictionary";
}

// Prints findings as the run reports them, so that nothing grows with their number.
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

    void beginRun(std::size_t line) {
        m_line = line;
        m_count = 0;
        if (m_args.json) {
            // The findings array is streamed between the object's other members.
            std::string out = "{";
            if (m_args.eachLine) {
                out += jsonMembers(Json{{"line", line}});
                out += ',';
            }
            out += "\"findings\":[";
            std::fputs(out.c_str(), stdout);
        }
    }

    void finding(const rg_BiaoJiCiYuLei& f) {
        ++m_count;
        std::string out;
        if (m_args.json) {
            out += m_count > 1 ? "," : "";
            out += dumpJson(Json{
                {"type", static_cast<int>(f.type)},
                {"position", f.position},
                {"length", f.length},
                {"word", jsonText(f.word)},
                {"suggestion", jsonText(f.suggestion)},
                {"source", sourceName(f.source)},
            });
        } else {
            if (m_args.eachLine) {
                out += std::to_string(m_line) + "\t";
            }
            const bool error = f.type == FindingType::Error;
            out += std::to_string(m_count) + "\t" + tsvCell(f.word) + "\t" +
                   tsvCell(error ? std::u16string_view(f.suggestion) : u"") + "\t" +
                   utf16ToUtf8Lossy(findingTypeText(f.type, f.source)) + "\t" +
                   std::to_string(f.position) + "\t" + std::to_string(f.length) + "\n";
        }
        std::fputs(out.c_str(), stdout);
    }

    void endRun(const rg_ChaCuoYinQing& engine) const {
        if (m_args.json) {
            const std::string out = "]," +
                                    jsonMembers(Json{
                                        {"count", m_count},
                                        {"quantization", engine.quantization()},
                                        {"engineType", m_args.options.engineType},
                                        {"accuracyBoost", m_args.options.accuracyBoost},
                                    }) +
                                    "}\n";
            std::fputs(out.c_str(), stdout);
        }
    }

  private:
    const CheckArguments& m_args;
    std::size_t m_line = 0;
    std::size_t m_count = 0;
};

// Collects the workbook's rows; a workbook holds at most kMaxWorkbookRows of them.
struct WorkbookCollector {
    std::vector<WorkbookRow> rows;
    bool overflow = false;

    void add(const rg_BiaoJiCiYuLei& finding) {
        if (rows.size() >= kMaxWorkbookRows) {
            overflow = true;
            return;
        }
        appendWorkbookRow(finding, rows);
    }
};

// Shows the progress on standard error the way the progress window does, when it is a terminal.
struct TerminalProgress {
    bool shown = false;

    void show(double speed, std::int32_t percent) {
        shown = true;
        std::fputc('\r', stderr);
        printText(stderr, speedText(speed));
        std::fprintf(stderr, " %d%%", percent);
        std::fflush(stderr);
    }
};

// The text cut after line breaks into pieces of about maxUnits (a longer line is one piece).
// No dictionary word holds a line break and the context check works sentence by sentence, so
// checking the pieces one by one finds what one run over the whole text finds, while only one
// piece's findings are held at a time; only the words written more than once are counted over
// the whole text.
std::vector<std::pair<std::size_t, std::size_t>> piecesOf(std::u16string_view text,
                                                          std::size_t maxUnits) {
    std::vector<std::pair<std::size_t, std::size_t>> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(text.size(), start + maxUnits);
        if (end < text.size()) {
            const auto lineEnd = text.rfind(u'\n', end - 1);
            end = lineEnd != std::u16string_view::npos && lineEnd >= start
                      ? lineEnd + 1
                      : std::min(text.size(), text.find(u'\n', end) + 1);
            if (end == 0) {
                end = text.size();
            }
        }
        pieces.emplace_back(start, end);
        start = end;
    }
    return pieces;
}

constexpr std::size_t kContextPieceUnits = 1 << 18;

}  // namespace

int checkCommand(const Locations& locations, const std::vector<std::string>& args) {
    CheckArguments parsed;
    parsed.options = readRunOptions(locations.settingsDirectory);
    parsed.context = readContextSettings(locations.settingsDirectory);
    if (const auto error = parseCheckArguments(args, parsed); !error.empty()) {
        return usageError(error);
    }
    if (const auto problem = sameFileProblem(parsed.file, {{"--corrected", parsed.corrected},
                                                           {"--revisions", parsed.revisions},
                                                           {"--xlsx", parsed.xlsx}});
        !problem.empty()) {
        std::fprintf(stderr, "kanjianfang-cli: %s\n", problem.c_str());
        return 2;
    }
    std::u16string text;
    std::u16string original;
    DocumentSource source;
    if (!readRunInput(parsed.file, text, parsed.corrected.empty() ? nullptr : &original, &source)) {
        return 2;
    }
    if (!parsed.revisions.empty() && source.kind != SourceKind::Docx) {
        std::fprintf(stderr,
                     "kanjianfang-cli: --revisions needs a .docx document; %s is text (use "
                     "--corrected)\n",
                     parsed.file.c_str());
        return 2;
    }

    std::u16string piece;
    const auto loaded = loadEngine(locations, &piece);
    if (!loaded) {
        return 2;
    }
    rg_ChaCuoYinQing& engine = *loaded;
    ContextPassLoader contextLoader(locations);
    const ContextPass* context =
        parsed.context.enabled ? loadContextPass(contextLoader, engine, parsed.context) : nullptr;
    TerminalProgress progress;
    if (::isatty(STDERR_FILENO) != 0) {
        engine.onProgress.bind(
            [](void* owner, rg_ChaCuoYinQing&, std::int32_t, double speed, std::int32_t percent,
               std::int32_t) { static_cast<TerminalProgress*>(owner)->show(speed, percent); },
            &progress, 0);
    }

    CheckPrinter printer(parsed);
    printer.header();
    std::size_t total = 0;
    WorkbookCollector workbook;
    std::vector<Correction> corrections;
    std::vector<rg_BiaoJiCiYuLei> revisionFindings;
    std::size_t base = 0;  // where the run's text starts in the whole text
    const auto emit = [&](const rg_BiaoJiCiYuLei& f) {
        printer.finding(f);
        if (!parsed.xlsx.empty()) {
            workbook.add(f);
        }
        if (!parsed.revisions.empty()) {
            revisionFindings.push_back(f);
            revisionFindings.back().position += static_cast<std::int32_t>(base);
        }
        if (!parsed.corrected.empty() && f.type == FindingType::Error && !f.suggestion.empty()) {
            corrections.push_back(
                {static_cast<std::int64_t>(base) + f.position, f.length, f.suggestion});
        }
    };
    if (!context) {
        // Every finding is printed as it is reported; the engine keeps none of them.
        engine.setKeepFindings(false);
        engine.onWordReported.bind(
            [](void* owner, rg_ChaCuoYinQing&, std::int32_t, FindingType type,
               std::int32_t position, std::int32_t length, std::u16string_view word,
               std::u16string_view suggestion) {
                if (isStoredFinding(type)) {
                    (*static_cast<decltype(emit)*>(owner))(
                        {type, position, length, std::u16string(word), std::u16string(suggestion)});
                }
            },
            const_cast<void*>(static_cast<const void*>(&emit)), 0);
    }
    const auto check = [&](std::u16string_view part) {
        piece.assign(part);
        engine.runCheck(static_cast<std::int32_t>(piece.size()), parsed.options.quantization,
                        parsed.options.engineType, parsed.options.accuracyBoost);
    };
    const auto runOver = [&](std::u16string_view part, std::size_t line, std::size_t offset) {
        base = offset;
        printer.beginRun(line);
        if (!context) {
            check(part);
            total += engine.findingCount();
        } else {
            auto pieces = piecesOf(part, kContextPieceUnits);
            if (parsed.options.engineType == 2) {
                std::reverse(pieces.begin(), pieces.end());  // the findings' order of one run
            }
            for (const auto& [begin, end] : pieces) {
                check(part.substr(begin, end - begin));
                auto found =
                    context->apply(engine, engine.findings(), piece, parsed.context.threshold,
                                   scanOrderOf(parsed.options.engineType));
                // A word written twice is the writer's, also when the two are pieces apart.
                if (pieces.size() > 1) {
                    context->dropRepeatedWords(part, found);
                }
                for (auto f : found) {
                    f.position += static_cast<std::int32_t>(begin);
                    emit(f);
                    ++total;
                }
            }
        }
        printer.endRun(engine);
    };
    if (!parsed.eachLine) {
        runOver(text, 0, 0);
    } else {
        std::size_t start = 0;
        std::size_t line = 1;
        while (start < text.size()) {
            auto end = text.find(u'\n', start);
            if (end == std::u16string::npos) {
                end = text.size();
            }
            runOver(std::u16string_view(text).substr(start, end - start), line++, start);
            start = end + 1;
        }
    }
    if (progress.shown) {
        std::fputc('\n', stderr);
    }
    printText(stderr, checkFinishedText(total));
    std::fputc('\n', stderr);
    if (!parsed.xlsx.empty()) {
        if (workbook.overflow) {
            std::fprintf(
                stderr, "kanjianfang-cli: cannot write %s: a workbook holds at most %zu findings\n",
                parsed.xlsx.c_str(), kMaxWorkbookRows);
            return 2;
        }
        if (const auto written = writeFindingsWorkbook(parsed.xlsx, workbook.rows); !written.ok) {
            std::fprintf(stderr, "kanjianfang-cli: cannot write %s: ", parsed.xlsx.c_str());
            printText(stderr, written.message);
            std::fputc('\n', stderr);
            return 2;
        }
    }
    if (!parsed.corrected.empty()) {
        const auto bytes = utf16ToUtf8Lossy(applyCorrections(original, std::move(corrections)));
        if (const WriteResult written = writeFileAtomically(parsed.corrected, bytes); !written) {
            std::fprintf(stderr, "kanjianfang-cli: cannot write %s: ", parsed.corrected.c_str());
            printText(stderr, written.reason());
            std::fputc('\n', stderr);
            return 2;
        }
    }
    if (!parsed.revisions.empty() &&
        !writeRevisions(parsed.revisions, source, text, std::move(revisionFindings))) {
        return 2;
    }
    return total == 0 ? 0 : 1;
}

}  // namespace kjf::cli
