#include "cli/cli_common.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "text/utf.h"

namespace kjf::cli {

void printUsage(std::FILE* stream) {
    std::fputs(
        "usage:\n"
        "  kanjianfang-cli [--root DIR] setting get SECTION KEY [DEFAULT]\n"
        "  kanjianfang-cli [--root DIR] setting set SECTION KEY VALUE\n"
        "  kanjianfang-cli [--root DIR] text [--import] FILE\n"
        "  kanjianfang-cli [--root DIR] check [--engine 1|2] [--quantization N] [--boost 0|1]\n"
        "                                     [--format tsv|json] [--each-line] [--xlsx OUT]\n"
        "                                     [--context 0|1] [--corrected OUT]\n"
        "                                     [--revisions OUT.docx] FILE\n"
        "  kanjianfang-cli [--root DIR] learn [--engine 1|2] [--quantization N] [--boost 0|1]\n"
        "                                     [--context 0|1] [--format tsv|json] FILE\n"
        "  kanjianfang-cli [--root DIR] evaluate [--context 0|1] SET.tsv...\n"
        "  kanjianfang-cli [--root DIR] serve [--port N] [--host ADDRESS] [--engine 1|2]\n"
        "                                     [--quantization N] [--boost 0|1] [--context 0|1]\n"
        "  kanjianfang-cli dict optimise FILE\n"
        "  kanjianfang-cli dict verify FILE\n"
        "  kanjianfang-cli --help | --version\n",
        stream);
}

int usageError(const std::string& message) {
    if (!message.empty()) {
        std::fprintf(stderr, "kanjianfang-cli: %s\n", message.c_str());
    }
    printUsage(stderr);
    return 2;
}

void printText(std::FILE* stream, std::u16string_view text) {
    const std::string utf8 = utf16ToUtf8Lossy(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

std::string tsvCell(std::u16string_view text) {
    std::string out;
    for (char c : utf16ToUtf8Lossy(text)) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool parseIntOption(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) {
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

}  // namespace kjf::cli
