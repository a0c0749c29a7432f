// kanjianfang-cli: the command-line front end over the same core as the desktop program.
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_common.h"
#include "context/model_check.h"
#include "documents/document_reader.h"
#include "run/model_trust.h"
#include "settings/locations.h"
#include "settings/settings_file.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace kjf::cli {

int settingCommand(const std::string& settingsDirectory, const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "get" && (args.size() == 3 || args.size() == 4)) {
        const std::u16string fallback = args.size() == 4 ? utf8ToUtf16(args[3]) : u"";
        printText(stdout, readSetting(settingsDirectory, utf8ToUtf16(args[1]), utf8ToUtf16(args[2]),
                                      fallback));
        std::fputc('\n', stdout);
        return 0;
    }
    if (!args.empty() && args[0] == "set" && args.size() == 4) {
        if (const WriteResult written = writeSetting(settingsDirectory, utf8ToUtf16(args[1]),
                                                     utf8ToUtf16(args[2]), utf8ToUtf16(args[3]));
            !written) {
            std::fprintf(stderr, "kanjianfang-cli: could not write %ssetup.ini: ",
                         settingsDirectory.c_str());
            printText(stderr, written.reason());
            std::fputc('\n', stderr);
            return 1;
        }
        return 0;
    }
    return usageError("setting takes get SECTION KEY [DEFAULT] or set SECTION KEY VALUE");
}

int textCommand(const std::vector<std::string>& args) {
    if (args.size() == 2 && args[0] == "--import") {
        const DocumentReadResult read = readDocument(args[1]);
        if (!read.ok) {
            std::fprintf(stderr, "kanjianfang-cli: cannot import %s: ", args[1].c_str());
            printText(stderr, read.message);
            std::fputc('\n', stderr);
            return 1;
        }
        if (!read.source.complete && read.source.kind == SourceKind::Docx) {
            std::fprintf(stderr,
                         "kanjianfang-cli: %s: the document's text (word/document.xml) is damaged "
                         "or cut short; only its first %zu characters could be read\n",
                         args[1].c_str(), read.text.size());
            return 2;
        }
        if (!read.source.complete) {
            std::fprintf(stderr,
                         "kanjianfang-cli: %s: only the first %zu characters could be decoded; the "
                         "rest cannot be read as UTF-8, GB18030 or UTF-16\n",
                         args[1].c_str(), read.text.size());
            return 2;
        }
        printText(stdout, read.text);
        return 0;
    }
    if (args.size() != 1) {
        return usageError("text takes [--import] FILE");
    }
    const TextFileContent content = readTextFileChecked(args[0]);
    if (!content.readable) {
        std::fprintf(stderr, "kanjianfang-cli: cannot read %s: ", args[0].c_str());
        printText(stderr, readFailureText(content.failure));
        std::fputc('\n', stderr);
        return 2;
    }
    if (!content.complete) {
        // A prefix printed as if it were the whole file would pass for it.
        std::fprintf(stderr,
                     "kanjianfang-cli: %s: only the first %zu characters could be decoded as UTF-8 "
                     "(or UTF-16 after its mark); text --import also reads GB18030\n",
                     args[0].c_str(), content.text.size());
        return 2;
    }
    printText(stdout, content.text);
    return 0;
}

}  // namespace kjf::cli

namespace {

// The folders of a command that reads setup.ini or the dictionaries: all in the program directory
// root when one was given, otherwise as the start-up decision finds them (an installed program's
// first start makes the user's folders here).
kjf::Locations locationsFor(const std::optional<std::string>& root) {
    if (root) {
        return kjf::Locations::portable(*root);
    }
    const auto chosen =
        kjf::chooseLocations(kjf::programDirectory(), kjf::HomeEnvironment::ofProcess());
    auto problems = kjf::prepareLocations(chosen);
    const kjf::Locations locations = kjf::usableLocations(chosen, problems);
    for (const auto& problem : problems) {
        std::fputs("kanjianfang-cli: warning: ", stderr);
        kjf::cli::printText(stderr, problem);
        std::fputc('\n', stderr);
    }
    return locations;
}

int dispatch(std::vector<std::string> args) {
    using namespace kjf::cli;
    std::optional<std::string> root;
    if (!args.empty() && args[0] == "--root") {
        if (args.size() < 2) {
            return usageError("--root needs a directory");
        }
        root = args[1];
        if (root->empty() || root->back() != '/') {
            *root += '/';
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return usageError("");
    }
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        printUsage(stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("kanjianfang-cli %s\n", KJF_VERSION);
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "setting") {
        return settingCommand(locationsFor(root).settingsDirectory, args);
    }
    if (command == "text") {
        return textCommand(args);
    }
    if (command == "check") {
        return checkCommand(locationsFor(root), args);
    }
    if (command == "evaluate") {
        return evaluateCommand(locationsFor(root), args);
    }
    if (command == "learn") {
        return learnCommand(locationsFor(root), args);
    }
    if (command == "serve") {
        return serveCommand(locationsFor(root), args);
    }
    if (command == "dict") {
        return dictCommand(args);
    }
    return usageError("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
    // A model file is tried in a child process first: this program is that child too.
    if (const auto checked = kjf::runModelCheckIfAsked(argc, argv)) {
        return *checked;
    }
    kjf::setModelCheckProgram(kjf::runningExecutable());
    try {
        return dispatch(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::bad_alloc&) {
        // Huge inputs end here rather than in an abort with nothing said.
        std::fflush(stdout);
        std::fputs("\nkanjianfang-cli: out of memory\n", stderr);
        return 2;
    } catch (const std::system_error& e) {
        // Threads that cannot be started for want of memory.
        std::fflush(stdout);
        std::fprintf(stderr, "\nkanjianfang-cli: out of memory: %s\n", e.what());
        return 2;
    }
}
