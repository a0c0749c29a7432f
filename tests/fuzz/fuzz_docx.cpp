// Corrupt and hostile .docx archives and document XML: no crash, no U+0000 in the text, and the
// text never longer than the markup it came from (memory stays bounded by the input).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "documents/document_reader.h"
#include "zip_support.h"

namespace {

void checkText(const std::u16string& text, std::size_t sourceSize) {
    if (text.size() > sourceSize || text.find(u'\0') != std::u16string::npos) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
        case 0: {
            // The input as a whole file, archive or not.
            const auto result = kjf::decodeDocumentBytes(input);
            if (!result.ok && (!result.text.empty() || result.message.empty())) {
                std::abort();
            }
            break;
        }
        case 1:
            // The input as document XML, stored in a well-formed archive.
            if (const auto text = kjf::readDocxText(
                    kjf::test::buildZip({{"word/document.xml", input}}, (data[0] & 0x10) != 0))) {
                checkText(*text, input.size());
            }
            break;
        case 2: {
            // A well-formed archive with its bytes partly overwritten by the input.
            std::string archive = kjf::test::buildDocx("<w:p><w:r><w:t>" + std::string(64, 'x') +
                                                       "</w:t></w:r></w:p>");
            for (std::size_t i = 0; i + 2 < input.size(); i += 3) {
                const std::size_t at = (static_cast<unsigned char>(input[i]) << 8 |
                                        static_cast<unsigned char>(input[i + 1])) %
                                       archive.size();
                archive[at] = input[i + 2];
            }
            if (const auto text = kjf::readDocxText(archive, 1 << 16)) {
                checkText(*text, 1 << 16);
            }
            break;
        }
        default:
            checkText(kjf::docxXmlToText(input), input.size());
            // A bound smaller than the part is always refused.
            if (!input.empty() &&
                kjf::readDocxText(kjf::test::buildZip({{"word/document.xml", input}}),
                                  input.size() - 1)) {
                std::abort();
            }
    }
    return 0;
}
