#include "cli/check_outputs.h"

#include <algorithm>
#include <cstdio>

#include "cli/cli_common.h"
#include "text/utf.h"

namespace kjf::cli {

std::string sameFileProblem(const std::string& input,
                            const std::vector<std::pair<std::string, std::string>>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const auto& [option, path] = outputs[i];
        if (path.empty()) {
            continue;
        }
        if (path == input || sameFile(path, input)) {
            return option + " " + path + " is the input file: it would be overwritten";
        }
        for (std::size_t j = i + 1; j < outputs.size(); ++j) {
            const auto& [otherOption, other] = outputs[j];
            if (!other.empty() && (other == path || sameFile(other, path))) {
                return option + " and " + otherOption + " name the same file " + path;
            }
        }
    }
    return "";
}

std::string partialInputProblem(const std::string& input, const DocumentSource& source) {
    if (source.complete) {
        return "";
    }
    if (source.kind == SourceKind::Docx) {
        return input + ": the document's text (word/document.xml) is damaged or cut short; only " +
               "its first " + std::to_string(source.importedText.size()) +
               " characters could be read, so nothing was checked";
    }
    return input + ": only the first " + std::to_string(source.importedText.size()) +
           " characters could be decoded (as UTF-8, GB18030 or UTF-16); the rest of its " +
           std::to_string(source.byteSize) + " bytes could not be read, so nothing was checked";
}

bool writeRevisions(const std::string& out, const DocumentSource& source,
                    std::u16string_view editorText, std::vector<rg_BiaoJiCiYuLei> findings) {
    std::stable_sort(findings.begin(), findings.end(),
                     [](const rg_BiaoJiCiYuLei& a, const rg_BiaoJiCiYuLei& b) {
                         return a.position < b.position;
                     });
    // The suggestions applied, the first of overlapping ones, as --corrected applies them; where
    // each one starts and ends in the corrected text places the comments.
    struct Applied {
        std::int64_t begin, end;  // in editorText
        std::int64_t newBegin, newEnd;
    };
    std::vector<Applied> applied;
    std::vector<const rg_BiaoJiCiYuLei*> commented;
    std::u16string current;
    current.reserve(editorText.size());
    std::int64_t done = 0;
    for (const rg_BiaoJiCiYuLei& f : findings) {
        const bool correction = f.type == FindingType::Error && !f.suggestion.empty();
        if (correction && f.position >= done && f.length >= 0 &&
            static_cast<std::size_t>(f.position + f.length) <= editorText.size()) {
            current.append(editorText.substr(static_cast<std::size_t>(done),
                                             static_cast<std::size_t>(f.position - done)));
            const auto newBegin = static_cast<std::int64_t>(current.size());
            current += f.suggestion;
            applied.push_back({f.position, f.position + f.length, newBegin,
                               static_cast<std::int64_t>(current.size())});
            done = f.position + f.length;
        } else {
            commented.push_back(&f);
        }
    }
    current.append(editorText.substr(static_cast<std::size_t>(done)));

    // A position of editorText in the corrected text; inside a replaced stretch, its start (for
    // a comment's start) or its end.
    const auto mapped = [&applied](std::int64_t position, bool start) {
        std::int64_t shift = 0;
        for (const Applied& a : applied) {
            if (position <= a.begin) {
                break;
            }
            if (position < a.end) {
                return start ? a.newBegin : a.newEnd;
            }
            shift = a.newEnd - a.end;
        }
        return position + shift;
    };
    std::vector<OpenFinding> open;
    for (const rg_BiaoJiCiYuLei* f : commented) {
        OpenFinding o;
        o.position = mapped(f->position, true);
        o.length = mapped(f->position + f->length, false) - o.position;
        o.word = f->word;
        o.suggestion = f->type == FindingType::Error ? f->suggestion : u"";
        if (f->source == FindingSource::Context && o.suggestion.empty()) {
            o.note = u"语境校对：此处用词可能有误";
        }
        open.push_back(std::move(o));
    }
    const ExportResult result = exportRevised(source, current, open, out);
    for (const auto& warning : result.warnings) {
        std::fputs("kanjianfang-cli: warning: ", stderr);
        printText(stderr, warning);
        std::fputc('\n', stderr);
    }
    if (!result.ok) {
        std::fprintf(stderr, "kanjianfang-cli: cannot write %s: ", out.c_str());
        printText(stderr, result.message);
        if (!result.reason.empty()) {
            std::fputs(": ", stderr);
            printText(stderr, result.reason);
        }
        std::fputc('\n', stderr);
        return false;
    }
    return true;
}

}  // namespace kjf::cli
