// kanjianfang-cli learn: a check over a file, then the word-group analysis of auto-learning over
// its findings.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/json_output.h"
#include "cli/run_arguments.h"
#include "documents/document_reader.h"
#include "engine/checking_engine.h"
#include "learning/word_groups.h"

namespace kjf::cli {

int learnCommand(const Locations& locations, const std::vector<std::string>& args) {
    RunArguments parsed;
    parsed.options = readRunOptions(locations.settingsDirectory);
    parsed.context = readContextSettings(locations.settingsDirectory);
    if (const auto error = parseRunArguments(args, "learn", parsed); !error.empty()) {
        return usageError(error);
    }
    std::u16string text;
    if (!readRunInput(parsed.file, text)) {
        return 2;
    }

    const auto loaded = loadEngine(locations, &text);
    if (!loaded) {
        return 2;
    }
    rg_ChaCuoYinQing& engine = *loaded;
    engine.runCheck(static_cast<std::int32_t>(text.size()), parsed.options.quantization,
                    parsed.options.engineType, parsed.options.accuracyBoost);

    WordGroupInput input = takeWordGroupInput(engine);
    // The analysis works on the findings a user would see listed: dictionary findings that the
    // context check did not refute (its own findings are not the dictionaries' to learn from).
    if (parsed.context.enabled) {
        ContextPassLoader contextLoader(locations);
        if (const auto* context = loadContextPass(contextLoader, engine, parsed.context)) {
            std::vector<bool> kept;
            context->apply(engine, input.findings, text, parsed.context.threshold,
                           scanOrderOf(parsed.options.engineType), {}, &kept);
            std::vector<rg_BiaoJiCiYuLei> listed;
            for (std::size_t i = 0; i < input.findings.size(); ++i) {
                if (kept[i]) {
                    listed.push_back(std::move(input.findings[i]));
                }
            }
            input.findings = std::move(listed);
        }
    }
    std::string out = parsed.json ? "" : "序号\t源字\t组词\t起始位置\t长度\n";
    Json groups = Json::array();
    std::size_t count = 0;
    analyzeWordGroups(engine, input, [&](const WordGroupRow& row) {
        ++count;
        if (parsed.json) {
            groups.push_back(Json{
                {"source", jsonText(row.source)},
                {"group", jsonText(row.group)},
                {"start", row.start},
                {"length", row.length},
            });
        } else {
            out += std::to_string(count) + "\t" + tsvCell(row.source) + "\t" + tsvCell(row.group) +
                   "\t" + std::to_string(row.start) + "\t" + std::to_string(row.length) + "\n";
        }
    });
    if (parsed.json) {
        out = dumpJson(Json{{"groups", std::move(groups)}, {"quantization", input.quantization}}) +
              "\n";
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}

}  // namespace kjf::cli
