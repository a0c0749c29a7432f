// Any bytes as a .docx (or as its document XML in a well-formed archive) and random edits: the
// writer refuses, or writes a readable package whose document XML is well-formed and reads back
// as the edited text. Never a crash.
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "documents/document_reader.h"
#include "documents/docx_package.h"
#include "documents/docx_text.h"
#include "documents/revision_writer.h"
#include "zip_support.h"

namespace {

std::u16string editorText(std::u16string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out.push_back(text[i] == u'\r' ? u'\n' : text[i]);
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) {
        return 0;
    }
    std::uint64_t seed = 0;
    for (int i = 1; i < 9; ++i) {
        seed = seed << 8 | data[i];
    }
    const std::string input(reinterpret_cast<const char*>(data) + 9, size - 9);
    const std::string docx = (data[0] & 1) != 0
                                 ? input
                                 : kjf::test::buildZip({{"[Content_Types].xml", "<Types/>"},
                                                        {"word/document.xml", input}});
    const auto imported = kjf::readDocxText(docx);
    std::u16string current = editorText(imported.value_or(u""));
    std::minstd_rand random(static_cast<std::uint32_t>(seed ^ (seed >> 32)));
    const std::u16string alphabet = u"甲乙&<>\"\t \n\x01\xD800";
    for (int e = 0, edits = static_cast<int>(random() % 4); e < edits; ++e) {
        const std::size_t at = random() % (current.size() + 1);
        const std::size_t length = std::min<std::size_t>(random() % 3, current.size() - at);
        current.replace(at, length, std::u16string(random() % 3, alphabet[random() % 10]));
    }
    std::vector<kjf::OpenFinding> findings;
    for (int f = 0, count = static_cast<int>(random() % 3); f < count; ++f) {
        findings.push_back({static_cast<std::int64_t>(random() % (current.size() + 2)),
                            static_cast<std::int64_t>(random() % 3), u"", u"", u""});
    }
    const auto result = kjf::writeDocxRevisions(docx, imported.value_or(u""), current, findings);
    if (!result.ok) {
        if (result.message.empty() || !result.docx.empty()) {
            std::abort();
        }
        return 0;
    }
    if (!imported) {
        std::abort();  // a document that cannot be read is never written
    }
    const kjf::PackageReader package(result.docx);
    std::string xml;
    if (package.read("word/document.xml", 1 << 24, xml) != kjf::PackageStatus::Ok ||
        !kjf::mapDocxXml(xml) || editorText(kjf::docxXmlText(xml)) != current) {
        std::abort();
    }
    return 0;
}
