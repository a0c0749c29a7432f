// kanjianfang-cli dict: the dictionary list page's "优化选中" and the editor's entry check.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "dictionaries/dictionary_operations.h"
#include "text/files.h"

namespace kjf::cli {

namespace {

int optimise(const std::string& path) {
    if (const WriteResult written = optimiseDictionaryFile(path); !written) {
        std::fprintf(stderr,
                     "kanjianfang-cli: %s was left as it was: it cannot be read whole or the "
                     "result cannot be written: ",
                     path.c_str());
        printText(stderr, written.reason());
        std::fputc('\n', stderr);
        return 1;
    }
    return 0;
}

int verify(const std::string& path) {
    ReadFailure failure = ReadFailure::None;
    const auto bytes = readWholeFile(path, &failure);
    if (!bytes) {
        std::fprintf(stderr, "kanjianfang-cli: cannot read %s: ", path.c_str());
        printText(stderr, readFailureText(failure));
        std::fputc('\n', stderr);
        return 2;
    }
    const auto bad = malformedErrorLinesOfFile(*bytes);
    for (const auto& line : bad) {
        std::printf("%d\t%s\n", line.number, tsvCell(line.text).c_str());
    }
    return bad.empty() ? 0 : 1;
}

}  // namespace

int dictCommand(const std::vector<std::string>& args) {
    if (args.size() == 2 && args[0] == "optimise") {
        return optimise(args[1]);
    }
    if (args.size() == 2 && args[0] == "verify") {
        return verify(args[1]);
    }
    return usageError("dict takes optimise FILE or verify FILE");
}

}  // namespace kjf::cli
