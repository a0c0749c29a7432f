// The context check after an engine run, for the commands that take --context.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "context/context_check.h"
#include "context/verifiable_findings.h"

namespace kjf {
class rg_ChaCuoYinQing;
}

namespace kjf::cli {

struct ContextPass {
    std::unique_ptr<const ContextModel> model;
    ContextOptions options;
    CuratedErrorWords curated;
};

// Loads what the pass needs for root's program directory once the engine's dictionaries are
// loaded: the model at setting 引擎设置/语境模型 (else the package's path), root's confusion sets,
// the threshold 引擎设置/语境阈值 (else the default) and the curated error words. Returns false
// with a message when the model or the sets cannot be loaded.
bool loadContextPass(const std::string& root, const rg_ChaCuoYinQing& engine, ContextPass& pass,
                     std::string& message);

// The findings of the engine's last run over text with the context check applied: dictionary
// findings that the model refutes dropped, contextual findings merged in by position.
std::vector<rg_BiaoJiCiYuLei> applyContextPass(const ContextPass& pass,
                                               const rg_ChaCuoYinQing& engine,
                                               std::u16string_view text);

}  // namespace kjf::cli
