#include "cli/run_arguments.h"

#include "cli/check_outputs.h"
#include "cli/cli_common.h"
#include "documents/document_reader.h"
#include "engine/checking_engine.h"
#include "run/run_texts.h"
#include "run/text_snapshot.h"

namespace kjf::cli {

bool parseEngineOption(const std::vector<std::string>& args, std::size_t& i, RunArguments& out,
                       std::string& error) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    int value = 0;
    if (a == "--engine" || a == "--quantization" || a == "--boost") {
        if (!hasValue || !parseIntOption(args[i + 1], value)) {
            error = a + " needs a whole number";
            return true;
        }
        ++i;
        if (a == "--engine") {
            out.options.engineType = value;
        } else if (a == "--quantization") {
            if (value < 0) {
                error = "--quantization must be 0 (automatic) or more";
                return true;
            }
            out.options.quantization = value;
        } else {
            if (value != 0 && value != 1) {
                error = "--boost must be 0 or 1";
                return true;
            }
            out.options.accuracyBoost = value;
        }
        return true;
    }
    if (a == "--context") {
        if (!hasValue || (args[i + 1] != "0" && args[i + 1] != "1")) {
            error = "--context must be 0 or 1";
            return true;
        }
        out.context.enabled = args[++i] == "1";
        return true;
    }
    return false;
}

std::string parseRunArguments(const std::vector<std::string>& args, const std::string& command,
                              RunArguments& out, const ExtraOption& extra) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        std::string error;
        if (parseEngineOption(args, i, out, error)) {
            if (!error.empty()) {
                return error;
            }
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
    if (!failure.empty()) {
        std::fputs("kanjianfang-cli: warning: ", stderr);
        printText(stderr, failure);
        std::fputc('\n', stderr);
    }
    if (pass == nullptr) {
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
