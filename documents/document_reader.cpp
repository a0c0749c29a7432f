#include "documents/document_reader.h"

#include <xxhash.h>

#include "documents/docx_package.h"
#include "documents/docx_text.h"
#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"

namespace kjf {

namespace {

const char16_t kCannotOpen[] = u"无法打开该文件：文件不存在。";
const char16_t kCannotRead[] = u"无法读取该文件。";
const char16_t kNotText[] = u"该文件不是文本文件，无法作为文本读取。";
const char16_t kOldOffice[] =
    u"该文件是旧版 Office 文档（.doc），无法作为文本读取。请在 Word 中另存为 .docx "
    u"后再导入，或复制其中的文字粘贴到编辑框。";
const char16_t kBrokenDocx[] = u"该 Word 文档（.docx）已损坏，无法读取。";
const char16_t kDocxTooLarge[] = u"该 Word 文档（.docx）过大，无法读取。";

DocumentReadResult failure(std::u16string_view message) {
    DocumentReadResult result;
    result.message.assign(message);
    return result;
}

DocumentReadResult success(std::string_view bytes, std::u16string text, TextEncoding encoding,
                           SourceKind kind = SourceKind::Text, bool complete = true) {
    DocumentReadResult result;
    result.ok = true;
    result.text = std::move(text);
    DocumentSource& source = result.source;
    source.kind = kind;
    source.encoding = encoding;
    source.lineEnd = detectLineEnd(result.text);
    source.importedText = result.text;
    source.complete = complete;
    source.byteSize = bytes.size();
    source.contentHash = XXH3_64bits(bytes.data(), bytes.size());
    return result;
}

bool startsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.substr(0, prefix.size()) == prefix;
}

constexpr char kDocumentPart[] = "word/document.xml";

}  // namespace

bool looksLikeZip(std::string_view bytes) {
    return startsWith(bytes, std::string_view("PK\x03\x04", 4)) ||
           startsWith(bytes, std::string_view("PK\x05\x06", 4));
}

std::u16string docxXmlToText(std::string_view xml) {
    return docxXmlText(xml);
}

std::optional<std::u16string> readDocxText(std::string_view bytes, std::size_t maxXmlSize) {
    std::string xml;
    if (PackageReader(bytes).read(kDocumentPart, maxXmlSize, xml) != PackageStatus::Ok) {
        return std::nullopt;
    }
    return docxXmlText(xml);
}

DocumentReadResult decodeDocumentBytes(std::string_view bytes) {
    if (startsWith(bytes, "\xFF\xFE")) {
        TextFileContent content = decodeTextFileBytes(bytes);
        return success(bytes, std::move(content.text), TextEncoding::Utf16LeWithMark,
                       SourceKind::Text, content.complete);
    }
    if (startsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
        return failure(kOldOffice);
    }
    if (looksLikeZip(bytes)) {
        std::string xml;
        switch (PackageReader(bytes).read(kDocumentPart, kMaxDocxXmlSize, xml)) {
            case PackageStatus::Ok: {
                DocxXmlText read = readDocxXml(xml);
                return success(bytes, std::move(read.text), TextEncoding::Utf8, SourceKind::Docx,
                               read.complete);
            }
            case PackageStatus::TooLarge:
                return failure(kDocxTooLarge);
            case PackageStatus::BrokenEntry:
                return failure(kBrokenDocx);
            case PackageStatus::BrokenArchive:
            case PackageStatus::Missing:
                return failure(kNotText);
        }
    }
    // Text never holds a zero byte outside UTF-16, which only the mark above announces.
    if (bytes.find('\0') != std::string_view::npos) {
        return failure(kNotText);
    }
    TextFileContent content = decodeTextFileBytes(bytes);
    const TextEncoding utf8 =
        startsWith(bytes, "\xEF\xBB\xBF") ? TextEncoding::Utf8WithMark : TextEncoding::Utf8;
    if (content.complete) {
        return success(bytes, std::move(content.text), utf8);
    }
    if (auto text = decodeGb18030Strict(bytes)) {
        return success(bytes, std::move(*text), TextEncoding::Gb18030);
    }
    return success(bytes, std::move(content.text), utf8, SourceKind::Text, false);
}

DocumentReadResult readDocument(const std::string& path) {
    if (path.empty() || !pathExists(path)) {
        return failure(kCannotOpen);
    }
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        return failure(kCannotRead);
    }
    DocumentReadResult result = decodeDocumentBytes(*bytes);
    result.source.path = path;
    return result;
}

}  // namespace kjf
