// Writing the work back into a .docx: the package read, the builder run over its document part,
// the comments added and the package copied with the new parts.
#include "documents/revision_writer.h"

#include <algorithm>

#include "documents/document_reader.h"
#include "documents/docx_package.h"
#include "documents/docx_text.h"
#include "documents/revision_builder.h"
#include "documents/revision_comments.h"
#include "documents/revision_markup.h"
#include "documents/text_diff.h"

namespace kjf {

namespace {

const char16_t kNotDocx[] = u"源文件不是可读的 Word 文档（.docx），无法写入修订。";
const char16_t kTooLarge[] = u"源文件中的 Word 文档过大，无法写入修订。";
const char16_t kNotWellFormed[] =
    u"源文件的正文（word/document.xml）不是格式正确的 XML，无法写入修订。";
const char16_t kUtf16[] =
    u"源文件的正文（word/document.xml）以 UTF-16 存储，无法写入修订。请在文字处理软件中另存为 "
    u".docx 后重新导入。";
const char16_t kSourceChanged[] = u"源文件自导入以来已改变，与导入的文字不一致，无法写入修订。";
const char16_t kNoPrefix[] = u"源文件的正文未用命名空间前缀书写，无法写入修订。";
const char16_t kCannotPack[] = u"无法生成修订后的文档。";

constexpr char kDocumentPart[] = "word/document.xml";

RevisionResult refusal(std::u16string message) {
    RevisionResult result;
    result.message = std::move(message);
    return result;
}

}  // namespace

std::u16string commentText(const OpenFinding& finding) {
    if (!finding.suggestion.empty()) {
        return u"建议：" + finding.suggestion;
    }
    if (!finding.note.empty()) {
        return finding.note;
    }
    return u"疑似错误";
}

RevisionResult writeDocxRevisions(std::string_view source, std::u16string_view imported,
                                  std::u16string_view current,
                                  const std::vector<OpenFinding>& findings,
                                  const RevisionSettings& settings) {
    const PackageReader package(source);
    if (!package.ok()) {
        return refusal(kNotDocx);
    }
    std::string xml;
    switch (package.read(kDocumentPart, kMaxDocxXmlSize, xml)) {
        case PackageStatus::Ok:
            break;
        case PackageStatus::TooLarge:
            return refusal(kTooLarge);
        default:
            return refusal(kNotDocx);
    }
    const auto mapped = mapDocxXml(xml);
    if (!mapped) {
        return refusal(docxXmlIsUtf16(xml) ? kUtf16 : kNotWellFormed);
    }
    if (mapped->text != imported) {
        return refusal(kSourceChanged);
    }
    if (mapped->map.wordPrefix.empty()) {
        return refusal(kNoPrefix);
    }
    // New w:ids follow every id of the document's parts.
    std::size_t largest = 0;
    for (const std::string& name : package.names()) {
        if (name.starts_with("word/") && name.ends_with(".xml")) {
            std::string part;
            if (name == kDocumentPart) {
                largest = std::max(largest, revision::largestId(xml));
            } else if (package.read(name, revision::kMaxPartSize, part) == PackageStatus::Ok) {
                largest = std::max(largest, revision::largestId(part));
            }
        }
    }

    revision::RevisionBuilder builder(xml, *mapped, settings, largest + 1);
    const auto changes = diffTexts(builder.editorText(), current);
    RevisionResult result;
    if (!builder.build(current, changes, findings, result)) {
        result.warnings.clear();
        return result;
    }
    std::vector<PackagePart> parts;
    parts.push_back({kDocumentPart, builder.document()});
    if (!builder.commentsXml().empty() &&
        !revision::addComments(package, builder.commentsXml(), mapped->map.wordNamespace, parts,
                               result.message)) {
        result.warnings.clear();
        return result;
    }
    auto written = rewritePackage(source, parts);
    if (!written) {
        return refusal(kCannotPack);
    }
    result.ok = true;
    result.docx = std::move(*written);
    return result;
}

}  // namespace kjf
