#include "cli/run_arguments.h"

#include "cli/check_outputs.h"
#include "cli/cli_common.h"
#include "documents/document_reader.h"
#include "engine/checking_engine.h"
#include "run/run_texts.h"
#include "run/text_snapshot.h"

namespace kjf::cli {

std::string parseRunArguments(const std::vector<std::string>& args, const std::string& command,
                              RunArguments& out, const ExtraOption& extra) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        int value = 0;
        std::string error;
        if (a == "--engine" || a == "--quantization" || a == "--boost") {
            if (!hasValue || !parseIntOption(args[i + 1], value)) {
                return a + " needs a whole number";
            }
            ++i;
            if (a == "--engine") {
                out.options.engineType = value;
            } else if (a == "--quantization") {
                if (value < 0) {
                    return "--quantization must be 0 (automatic) or more";
                }
                out.options.quantization = value;
            } else {
                if (value != 0 && value != 1) {
                    return "--boost must be 0 or 1";
                }
                out.options.accuracyBoost = value;
            }
        } else if (a == "--context") {
            if (!hasValue || (args[i + 1] != "0" && args[i + 1] != "1")) {
                return "--context must be 0 or 1";
            }
            out.context.enabled = args[++i] == "1";
        } else if (a == "--format") {
            if (!hasValue || (args[i + 1] != "tsv" && args[i + 1] != "json")) {
                return "--format must be tsv or json";
            }
            out.json = args[++i] == "json";
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            if (!extra || !extra(args, i, error)) {
                return "unknown option " + a;
            }
            if (!error.empty()) {
                return error;
            }
        } else if (out.file.empty()) {
            out.file = a;
        } else {
            return command + " takes one FILE";
        }
    }
    if (out.file.empty()) {
        return command + " needs a FILE";
    }
    return "";
}

std::unique_ptr<rg_ChaCuoYinQing> loadEngine(const Locations& locations,
                                             const std::u16string* text) {
    auto engine = std::make_unique<rg_ChaCuoYinQing>(locations.dictionaryFolders());
    bindEnabledListsFromSettings(*engine, &locations.settingsDirectory);
    bindTextSnapshot(*engine, text);
    engine->setCacheFile(locations.dictionaryCacheFile());
    engine->loadDictionaries();
    engine->waitForLoading();
    for (const auto& problem : engine->loadReport().problems) {
        std::fputs("kanjianfang-cli: warning: ", stderr);
        printText(stderr, loadProblemText(problem));
        std::fputc('\n', stderr);
    }
    if (noWordsLoaded(*engine)) {
        std::fputs("kanjianfang-cli: ", stderr);
        printText(stderr, noDictionaryText(locations.settingsDirectory));
        std::fputc('\n', stderr);
        return nullptr;
    }
    return engine;
}

const ContextPass* loadContextPass(ContextPassLoader& loader, const rg_ChaCuoYinQing& engine,
                                   const ContextSettings& settings) {
    std::u16string failure;
    const ContextPass* pass = loader.passFor(settings.modelPath, &failure);
    if (pass == nullptr) {
        std::fputs("kanjianfang-cli: warning: ", stderr);
        printText(stderr, failure);
        std::fputc('\n', stderr);
        return nullptr;
    }
    loader.dictionariesLoaded(engine);
    return pass;
}

bool readRunInput(const std::string& file, std::u16string& text, std::u16string* original,
                  DocumentSource* source) {
    DocumentReadResult content = readDocument(file);
    if (!content.ok) {
        std::fprintf(stderr, "kanjianfang-cli: cannot read %s: ", file.c_str());
        printText(stderr, content.message);
        std::fputc('\n', stderr);
        return false;
    }
    if (const auto problem = partialInputProblem(file, content.source); !problem.empty()) {
        std::fprintf(stderr, "kanjianfang-cli: %s\n", problem.c_str());
        return false;
    }
    text = normalizeLineBreaks(content.text);
    if (original != nullptr) {
        *original = content.text;
    }
    if (source != nullptr) {
        *source = std::move(content.source);
    }
    return true;
}

}  // namespace kjf::cli
