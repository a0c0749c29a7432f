// Adding the revision writer's comments to a .docx package: its comments part, relationship and
// content type.
#include "documents/revision_comments.h"

#include <pugixml.hpp>

#include <algorithm>

#include "documents/revision_markup.h"
#include "documents/xml_bytes.h"
#include "text/utf.h"

namespace kjf::revision {

namespace {

const char16_t kBrokenPart[] = u"源文件中的部件已损坏，无法写入修订：";

constexpr char kDocumentRelationships[] = "word/_rels/document.xml.rels";
constexpr char kContentTypes[] = "[Content_Types].xml";
constexpr char kCommentsType[] =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.comments+xml";

}  // namespace

bool addComments(const PackageReader& package, const std::string& comments,
                 const std::string& wordNamespace, std::vector<PackagePart>& parts,
                 std::u16string& message) {
    const bool strict = wordNamespace == "http://purl.oclc.org/ooxml/wordprocessingml/main";
    const std::string relationshipType =
        strict ? "http://purl.oclc.org/ooxml/officeDocument/relationships/comments"
               : "http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments";
    std::string relationships;
    const PackageStatus relationshipsStatus =
        package.read(kDocumentRelationships, kMaxPartSize, relationships);
    if (relationshipsStatus != PackageStatus::Ok && relationshipsStatus != PackageStatus::Missing) {
        message = kBrokenPart + utf8ToUtf16(kDocumentRelationships);
        return false;
    }
    std::string partName;
    std::vector<std::string> ids;
    if (relationshipsStatus == PackageStatus::Ok) {
        pugi::xml_document document;
        if (!document.load_buffer(relationships.data(), relationships.size())) {
            message = kBrokenPart + utf8ToUtf16(kDocumentRelationships);
            return false;
        }
        for (const pugi::xml_node r : document.document_element().children()) {
            ids.emplace_back(r.attribute("Id").value());
            if (std::string_view(r.attribute("Type").value())
                    .ends_with("/relationships/comments") &&
                std::string_view(r.attribute("TargetMode").value()) != "External") {
                const std::string target = r.attribute("Target").value();
                partName = target.starts_with('/') ? target.substr(1) : "word/" + target;
            }
        }
    }
    if (!partName.empty()) {
        // Comments of the document already: the new ones follow them.
        std::string existing;
        if (package.read(partName, kMaxPartSize, existing) != PackageStatus::Ok) {
            message = kBrokenPart + utf8ToUtf16(partName);
            return false;
        }
        const auto root = xmlRootEnd(existing);
        const auto colon = root ? root->name.find(':') : std::string::npos;
        if (!root || colon == std::string::npos) {
            message = kBrokenPart + utf8ToUtf16(partName);
            return false;
        }
        std::string prefixed = comments;
        const std::string prefix = root->name.substr(0, colon + 1);
        if (prefix != "w:") {
            for (std::size_t at = 0; (at = prefixed.find("w:", at)) != std::string::npos;) {
                // Only element and attribute names hold "w:" in the comments written here.
                if (at > 0 && (prefixed[at - 1] == '<' || prefixed[at - 1] == '/' ||
                               prefixed[at - 1] == ' ')) {
                    prefixed.replace(at, 2, prefix);
                    at += prefix.size();
                } else {
                    at += 2;
                }
            }
        }
        auto appended = appendToRoot(existing, prefixed);
        if (!appended) {
            message = kBrokenPart + utf8ToUtf16(partName);
            return false;
        }
        parts.push_back({partName, std::move(*appended)});
        return true;
    }

    partName = "word/comments.xml";
    for (int n = 1; package.contains(partName); ++n) {
        partName = "word/comments" + std::to_string(n) + ".xml";
    }
    parts.push_back({partName,
                     "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                     "<w:comments xmlns:w=\"" +
                         wordNamespace + "\">" + comments + "</w:comments>"});

    std::string id = "rId1";
    for (int n = 1; std::find(ids.begin(), ids.end(), id) != ids.end(); ++n) {
        id = "rIdKjf" + std::to_string(n);
    }
    const std::string relationship = "<Relationship Id=\"" + id + "\" Type=\"" + relationshipType +
                                     "\" Target=\"" + partName.substr(5) + "\"/>";
    if (relationshipsStatus == PackageStatus::Missing) {
        parts.push_back({kDocumentRelationships,
                         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                         "relationships\">" +
                             relationship + "</Relationships>"});
    } else if (auto appended = appendToRoot(relationships, relationship)) {
        parts.push_back({kDocumentRelationships, std::move(*appended)});
    } else {
        message = kBrokenPart + utf8ToUtf16(kDocumentRelationships);
        return false;
    }

    std::string types;
    pugi::xml_document typesDocument;
    if (package.read(kContentTypes, kMaxPartSize, types) != PackageStatus::Ok ||
        !typesDocument.load_buffer(types.data(), types.size()) || !xmlRootEnd(types)) {
        message = kBrokenPart + utf8ToUtf16(kContentTypes);
        return false;
    }
    const std::string typedName = "/" + partName;
    bool typed = false;
    for (const pugi::xml_node entry : typesDocument.document_element().children("Override")) {
        typed = typed || typedName == entry.attribute("PartName").value();
    }
    if (!typed) {
        parts.push_back({kContentTypes,
                         *appendToRoot(types, "<Override PartName=\"" + typedName +
                                                  "\" ContentType=\"" + kCommentsType + "\"/>")});
    }
    return true;
}

}  // namespace kjf::revision
