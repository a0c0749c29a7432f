#include "context/model_check.h"

#include <cstdio>

#include "context/context_check.h"
#include "context/context_model.h"

namespace kjf {

namespace {

// Sentences of everyday prose, with a few characters the model may be asked to replace, so that
// the check reads much of what a run reads: words, histories and confusion sets.
constexpr std::u16string_view kSample =
    u"我们在会议上讨论了明年的工作计划，大家一致认为应该加强管理。"
    u"他跑得很快，认真地完成了老师布置的作业。请按装驱动程序后再登录系统！"
    u"这个问题的解决办法已经找到了，我们再来试一遍；天气很好，适合出去走走。";

}  // namespace

int checkLanguageModelHere(const std::string& modelPath, const std::string& dataDirectory) {
    auto load = ContextModel::load(modelPath, dataDirectory);
    if (!load.model) {
        std::fprintf(stderr, "%s\n", load.message.c_str());
        return 1;
    }
    ContextInput input;
    input.text = kSample;
    ContextOptions options;
    options.workers = 1;
    const ContextResult result = runContextCheck(*load.model, input, options);
    if (!result.completed) {
        std::fprintf(stderr, "the context check over a sample text did not complete\n");
        return 1;
    }
    return 0;
}

std::optional<int> runModelCheckIfAsked(int argc, char** argv) {
    if (argc != 4 || std::string_view(argv[1]) != kCheckModelArgument) {
        return std::nullopt;
    }
    return checkLanguageModelHere(argv[2], argv[3]);
}

}  // namespace kjf
