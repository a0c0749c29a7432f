// kanjianfang-cli: the command-line front end over the same core as the desktop program.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  kanjianfang-cli [--root DIR] setting get SECTION KEY [DEFAULT]\n"
    "  kanjianfang-cli [--root DIR] setting set SECTION KEY VALUE\n"
    "  kanjianfang-cli [--root DIR] text FILE\n"
    "\n"
    "--root DIR  the program directory whose setup.ini and data/ are used\n"
    "            (default: the directory of this executable)\n";

int usageError(const char* message) {
    if (message != nullptr) {
        std::fprintf(stderr, "kanjianfang-cli: %s\n", message);
    }
    std::fputs(kUsage, stderr);
    return 2;
}

void printText(std::u16string_view text) {
    const std::string utf8 = kjf::utf16ToUtf8Lossy(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

int settingCommand(const std::string& root, const std::vector<std::string>& args) {
    if (args.empty()) {
        return usageError("setting needs get or set");
    }
    if (args[0] == "get" && (args.size() == 3 || args.size() == 4)) {
        const std::u16string fallback = args.size() == 4 ? kjf::utf8ToUtf16(args[3]) : u"";
        printText(
            kjf::readSetting(root, kjf::utf8ToUtf16(args[1]), kjf::utf8ToUtf16(args[2]), fallback));
        std::fputc('\n', stdout);
        return 0;
    }
    if (args[0] == "set" && args.size() == 4) {
        if (!kjf::writeSetting(root, kjf::utf8ToUtf16(args[1]), kjf::utf8ToUtf16(args[2]),
                               kjf::utf8ToUtf16(args[3]))) {
            std::fprintf(stderr, "kanjianfang-cli: could not write %ssetup.ini\n", root.c_str());
            return 1;
        }
        return 0;
    }
    return usageError("wrong arguments for setting");
}

int textCommand(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return usageError("text needs one FILE");
    }
    printText(kjf::readTextFile(args[0]));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string root = kjf::programDirectory();
    if (!args.empty() && args[0] == "--root") {
        if (args.size() < 2) {
            return usageError("--root needs a directory");
        }
        root = args[1];
        if (root.empty() || root.back() != '/') {
            root += '/';
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return usageError(nullptr);
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "setting") {
        return settingCommand(root, args);
    }
    if (command == "text") {
        return textCommand(args);
    }
    if (command == "--help" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return usageError(("unknown command " + command).c_str());
}
