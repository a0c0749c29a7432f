// Handing the work back: tracked changes and comments written into .docx documents, text in its
// source's encoding and line ends, and the character diff under both.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <regex>
#include <set>

#include "documents/document_reader.h"
#include "documents/document_source.h"
#include "documents/docx_text.h"
#include "documents/revision_writer.h"
#include "documents/text_diff.h"
#include "test_support.h"
#include "text/utf.h"
#include "zip_support.h"

using namespace kjf;
using kjf::test::buildDocx;
using kjf::test::readZipEntry;
using kjf::test::TempDir;

namespace {

std::string utf8(std::u16string_view text) {
    return utf16ToUtf8Lossy(text);
}

const RevisionSettings kSettings{u"勘鉴坊", "2024-05-01T08:00:00Z"};

std::string run(const std::string& text, const std::string& properties = "") {
    return "<w:r>" + (properties.empty() ? "" : "<w:rPr>" + properties + "</w:rPr>") + "<w:t>" +
           text + "</w:t></w:r>";
}

std::string paragraph(const std::string& runs) {
    return "<w:p><w:pPr><w:jc w:val=\"left\"/></w:pPr>" + runs + "</w:p>";
}

struct Written {
    RevisionResult result;
    std::string body;  // the content of w:body, every w:id written as #
    std::set<std::string> ids;
};

Written revise(const std::string& docx, std::u16string_view current,
               const std::vector<OpenFinding>& findings = {}) {
    Written w;
    const auto imported = readDocxText(docx);
    EXPECT_TRUE(imported.has_value());
    w.result = writeDocxRevisions(docx, imported.value_or(u""), current, findings, kSettings);
    if (!w.result.ok) {
        return w;
    }
    const auto xml = readZipEntry(w.result.docx, "word/document.xml");
    EXPECT_TRUE(xml.has_value());
    const auto begin = xml->find("<w:body>") + 8;
    const std::string body = xml->substr(begin, xml->find("<w:sectPr/>") - begin);
    const std::regex id(" w:id=\"([0-9]+)\"");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), id); it != std::sregex_iterator();
         ++it) {
        w.ids.insert((*it)[1]);
    }
    w.body = std::regex_replace(body, id, " w:id=\"#\"");
    return w;
}

const std::string kRevision = " w:id=\"#\" w:author=\"勘鉴坊\" w:date=\"2024-05-01T08:00:00Z\"";

std::string inserted(const std::string& text, const std::string& properties = "") {
    return "<w:ins" + kRevision + "><w:r>" +
           (properties.empty() ? "" : "<w:rPr>" + properties + "</w:rPr>") +
           "<w:t xml:space=\"preserve\">" + text + "</w:t></w:r></w:ins>";
}

std::string deleted(const std::string& text, const std::string& properties = "") {
    return "<w:del" + kRevision + "><w:r>" +
           (properties.empty() ? "" : "<w:rPr>" + properties + "</w:rPr>") +
           "<w:delText xml:space=\"preserve\">" + text + "</w:delText></w:r></w:del>";
}

std::string kept(const std::string& text, const std::string& properties = "") {
    return "<w:r>" + (properties.empty() ? "" : "<w:rPr>" + properties + "</w:rPr>") +
           "<w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

const std::string kPre = "<w:p><w:pPr><w:jc w:val=\"left\"/></w:pPr>";

}  // namespace

TEST(DocxRevisions, ChangesAreSplitOutOfTheRunsThatHeldThemWithTheirProperties) {
    const std::string bold = "<w:b/><w:color w:val=\"FF0000\"/>";
    // A change inside one run: the run is split around it.
    Written w = revise(buildDocx(paragraph(run("再接再励精神", bold))), u"再接再厉精神");
    ASSERT_TRUE(w.result.ok) << utf8(w.result.message);
    EXPECT_EQ(w.body, kPre + kept("再接再", bold) + deleted("励", bold) + inserted("厉", bold) +
                          kept("精神", bold) + "</w:p>");
    EXPECT_EQ(w.ids.size(), 2u);
    EXPECT_EQ(w.result.insertions, 1u);
    EXPECT_EQ(w.result.deletions, 1u);

    // A change over two runs: each deletion keeps its run's properties, the insertion takes
    // those of the last character it replaces.
    w = revise(buildDocx(paragraph(run("前甲") + run("乙后", "<w:b/>"))), u"前丙丁后");
    ASSERT_TRUE(w.result.ok);
    EXPECT_EQ(w.body, kPre + kept("前") + deleted("甲") + deleted("乙", "<w:b/>") +
                          inserted("丙丁", "<w:b/>") + kept("后", "<w:b/>") + "</w:p>");

    // At a paragraph's end, between runs (the run before gives the format), and into an empty
    // paragraph; a tab becomes w:tab.
    w = revise(
        buildDocx(paragraph(run("甲") + run("乙", "<w:i/>")) + "<w:p/>" + paragraph(run("丙"))),
        u"甲X乙Y\n新\t段\n丙");
    ASSERT_TRUE(w.result.ok) << utf8(w.result.message);
    EXPECT_EQ(w.body, kPre + run("甲") + inserted("X") + run("乙", "<w:i/>") +
                          inserted("Y", "<w:i/>") + "</w:p><w:p><w:ins" + kRevision +
                          "><w:r><w:t xml:space=\"preserve\">新</w:t><w:tab/><w:t "
                          "xml:space=\"preserve\">段</w:t></w:r></w:ins></w:p>" +
                          paragraph(run("丙")));
    EXPECT_EQ(w.ids.size(), 3u);
}

TEST(DocxRevisions, UnchangedParagraphsAndOtherPartsStayByteForByte) {
    // Markup no serializer would write back the same: single quotes, entities, blanks, a
    // comment, a run with a drawing, a bookmark.
    const std::string odd =
        "<w:p  w:rsidR='00A1' ><w:pPr ><w:jc w:val='both'/></w:pPr>\n  <w:bookmarkStart "
        "w:id='0' w:name='x'/><w:r><w:t xml:space='preserve'> a&amp;b &#x4E2D; </w:t></w:r>"
        "<!-- kept --><w:r><w:drawing><wp:inline/></w:drawing></w:r><w:bookmarkEnd w:id='0'/>"
        "</w:p>\n";
    const std::string docx = test::buildZip(
        {{"[Content_Types].xml", readZipEntry(buildDocx(""), "[Content_Types].xml").value()},
         {"word/document.xml",
          "<?xml version=\"1.0\"?>\n<w:document xmlns:w=\"http://schemas.openxmlformats.org/"
          "wordprocessingml/2006/main\"><w:body>" +
              odd + paragraph(run("错别字")) + odd + "<w:sectPr/></w:body></w:document>"},
         {"word/styles.xml", "<w:styles>样式</w:styles>"},
         {"word/media/image1.png", std::string("\x89PNG\r\n\x1A\n\0\0", 10)},
         {"word/footnotes.xml", "<w:footnotes><w:footnote w:id=\"7\"/></w:footnotes>"}});
    const auto imported = readDocxText(docx);
    ASSERT_TRUE(imported);
    std::u16string current = *imported;
    current.replace(current.find(u"别"), 1, u"误");
    const auto at = static_cast<std::int64_t>(current.find(u"字"));
    const auto result =
        writeDocxRevisions(docx, *imported, current, {{at, 1, u"字", u"", u""}}, kSettings);
    ASSERT_TRUE(result.ok) << utf8(result.message);
    const std::string xml = readZipEntry(result.docx, "word/document.xml").value();
    // Both odd paragraphs are there byte for byte; the comment of the first finding split the
    // first one's text run only.
    EXPECT_NE(xml.find(odd + kPre + kept("错") + "<w:del"), std::string::npos) << xml;
    EXPECT_NE(xml.find("</w:p>" + odd + "<w:sectPr/>"), std::string::npos);
    // New ids come after every id of the package (the footnote's 7).
    for (const auto& id : {"w:id=\"8\"", "w:id=\"9\"", "w:id=\"10\""}) {
        EXPECT_NE(xml.find(id), std::string::npos) << id;
    }
    for (const auto& name : {"word/styles.xml", "word/media/image1.png", "word/footnotes.xml"}) {
        EXPECT_EQ(readZipEntry(result.docx, name), readZipEntry(docx, name)) << name;
    }
    // The comment part, its relationship (the part was missing) and its content type.
    EXPECT_NE(readZipEntry(result.docx, "word/comments.xml")->find(">疑似错误</w:t>"),
              std::string::npos);
    EXPECT_NE(readZipEntry(result.docx, "word/_rels/document.xml.rels")
                  ->find("relationships/comments\" Target=\"comments.xml\""),
              std::string::npos);
    EXPECT_NE(readZipEntry(result.docx, "[Content_Types].xml")
                  ->find("<Override PartName=\"/word/comments.xml\" ContentType=\"application/"
                         "vnd.openxmlformats-officedocument.wordprocessingml.comments+xml\"/>"
                         "</Types>"),
              std::string::npos);
}

TEST(DocxRevisions, FindingsBecomeCommentsOverTheirCharacters) {
    const std::string docx = buildDocx(paragraph(run("甲") + run("乙丙", "<w:b/>")));
    const std::vector<OpenFinding> findings = {
        {0, 2, u"甲乙", u"", u""},        // over two runs
        {2, 1, u"丙", u"丁", u""},        // with a suggestion
        {1, 1, u"乙", u"", u"语境存疑"},  // a note
        {2, 5, u"丙", u"", u""},          // beyond the text: a warning
    };
    const Written w = revise(docx, u"甲乙丙", findings);
    ASSERT_TRUE(w.result.ok);
    EXPECT_EQ(w.result.comments, 3u);
    ASSERT_EQ(w.result.warnings.size(), 1u);
    const std::string start = "<w:commentRangeStart w:id=\"#\"/>";
    const std::string end =
        "<w:commentRangeEnd w:id=\"#\"/><w:r><w:commentReference w:id=\"#\"/></w:r>";
    EXPECT_EQ(w.body, kPre + start + run("甲") + start + kept("乙", "<w:b/>") + end + end + start +
                          kept("丙", "<w:b/>") + end + "</w:p>");
    const std::string comments = readZipEntry(w.result.docx, "word/comments.xml").value();
    for (const auto& text : {">疑似错误<", ">建议：丁<", ">语境存疑<"}) {
        EXPECT_NE(comments.find(text), std::string::npos) << text;
    }
    // Existing comments are kept and the new ones follow them, in the document's own prefix.
    const std::string withComments = test::buildZip(
        {{"[Content_Types].xml", readZipEntry(docx, "[Content_Types].xml").value()},
         {"word/document.xml", readZipEntry(docx, "word/document.xml").value()},
         {"word/_rels/document.xml.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
          "relationships/comments\" Target=\"notes.xml\"/></Relationships>"},
         {"word/notes.xml",
          "<x:comments xmlns:x=\"http://schemas.openxmlformats.org/"
          "wordprocessingml/2006/main\"><x:comment x:id=\"40\"/></x:comments>"}});
    const auto result =
        writeDocxRevisions(withComments, u"甲乙丙", u"甲乙丙", {findings[0]}, kSettings);
    ASSERT_TRUE(result.ok);
    const std::string notes = readZipEntry(result.docx, "word/notes.xml").value();
    EXPECT_NE(notes.find("<x:comment x:id=\"40\"/><x:comment x:id=\"41\" x:author=\"勘鉴坊\""),
              std::string::npos)
        << notes;
    EXPECT_FALSE(readZipEntry(result.docx, "word/comments.xml"));
}

TEST(DocxRevisions, DifferencesThatCannotBeMappedAreRefusedWholly) {
    const std::string docx = buildDocx(
        paragraph(run("甲乙")) + paragraph(run("丙")) + "<w:tbl><w:tr><w:tc><w:p>" + run("格") +
        "</w:p></w:tc><w:tc><w:p>" + run("子") + "</w:p></w:tc></w:tr></w:tbl>" +
        "<w:p><w:ins w:id=\"1\" w:author=\"x\"><w:r><w:t>旧修订</w:t></w:r></w:ins></w:p>");
    ASSERT_EQ(readDocxText(docx), u"甲乙\n丙\n格\t子\n旧修订");
    for (const std::u16string current : {
             u"甲\n乙\n丙\n格\t子\n旧修订",  // a new paragraph
             u"甲乙丙\n格\t子\n旧修订",      // two paragraphs joined
             u"甲乙\n丙\n格子\n旧修订",      // a table cell's separator gone
             u"甲乙\n丙\n格\t子\n新修订",    // text of an earlier revision
             u"甲乙\n丙\n格\t子\n旧修订\x01",
         }) {
        const auto result = writeDocxRevisions(docx, *readDocxText(docx), current, {}, kSettings);
        EXPECT_FALSE(result.ok) << utf8(current);
        EXPECT_TRUE(result.docx.empty());
        EXPECT_FALSE(result.message.empty());
    }
    // Cell text itself can change.
    EXPECT_TRUE(
        writeDocxRevisions(docx, *readDocxText(docx), u"甲乙\n丙\n格\t字\n旧修订", {}, kSettings)
            .ok);
    // The source is not what was imported, or no document at all.
    EXPECT_FALSE(writeDocxRevisions(docx, u"别的文字", u"别的文字", {}, kSettings).ok);
    EXPECT_FALSE(writeDocxRevisions("not a zip", u"", u"", {}, kSettings).ok);
    EXPECT_FALSE(writeDocxRevisions(test::buildZip({{"word/document.xml", "<w:p><w:t>a"}}), u"a",
                                    u"b", {}, kSettings)
                     .ok);
    // Text after the root element, which the parser drops: the bytes up to the last '>' are not
    // the root's alone, so nothing is written into them (the text once went after the junk).
    for (const std::string& tail :
         {std::string(">\xbc\n/>\xbc"), std::string("junk/>"), std::string("</w:p>x>")}) {
        const std::string junk = test::buildZip({{"word/document.xml", "<w:p/>" + tail}});
        const auto result =
            writeDocxRevisions(junk, readDocxText(junk).value_or(u""), u"乙", {}, kSettings);
        EXPECT_FALSE(result.ok) << tail;
        EXPECT_TRUE(result.docx.empty());
    }
    // A part stored as UTF-16 is read, but its changes are refused with their reason.
    std::string utf16le = "\xFF\xFE";
    for (const char16_t unit : std::u16string(u"<w:p><w:r><w:t>甲</w:t></w:r></w:p>")) {
        utf16le += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    const std::string utf16 = test::buildZip({{"word/document.xml", utf16le}});
    ASSERT_EQ(readDocxText(utf16), u"甲");
    const RevisionResult refused = writeDocxRevisions(utf16, u"甲", u"乙", {}, kSettings);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.message.find(u"UTF-16"), std::u16string::npos);
    const std::string clean = test::buildZip({{"word/document.xml", "<w:p/>\n"}});
    EXPECT_TRUE(writeDocxRevisions(clean, u"", u"乙", {}, kSettings).ok);
    // A last paragraph that ends the body and the document is written; with text after the
    // document's end it is refused.
    const std::string body =
        "<w:document><w:body><w:p><w:r><w:t>甲</w:t></w:r></w:p></w:body>"
        "</w:document>";
    EXPECT_TRUE(writeDocxRevisions(test::buildZip({{"word/document.xml", body + "\n"}}), u"甲",
                                   u"乙", {}, kSettings)
                    .ok);
    EXPECT_FALSE(writeDocxRevisions(test::buildZip({{"word/document.xml", body + "junk"}}), u"甲",
                                    u"乙", {}, kSettings)
                     .ok);
}

// Random edits of random documents: the written document is well-formed and reads (deleted text
// left out, inserted text in) exactly as the edited text.
// A run whose formatting change was tracked is split into pieces that each copied its w:id; a CR
// held as a reference was written back raw, to be read as LF, and an insertion after CR LF went
// between the two; control characters in a comment were written as references XML 1.0 forbids.
TEST(DocxRevisions, SplitRunsKeepIdsUniqueAndLineBreakCharactersStayAsTheyWere) {
    const std::string change =
        "<w:b/><w:rPrChange w:id=\"7\" w:author=\"A\" w:date=\"2020-01-01T00:00:00Z\"><w:rPr/>"
        "</w:rPrChange>";
    const Written split = revise(buildDocx(paragraph(run("甲乙丙丁", change))), u"甲戊丙己");
    ASSERT_TRUE(split.result.ok) << utf8(split.result.message);
    std::size_t idCount = 0;
    for (auto at = split.body.find(" w:id="); at != std::string::npos;
         at = split.body.find(" w:id=", at + 1)) {
        ++idCount;
    }
    EXPECT_GE(idCount, 8u) << split.body;  // four pieces, two insertions and two deletions
    EXPECT_EQ(split.ids.size(), idCount) << split.body;
    EXPECT_TRUE(split.ids.count("7")) << split.body;

    const std::string breaks = buildDocx(paragraph(run("甲&#13;&#10;乙&#13;丙")));
    const std::u16string imported = *readDocxText(breaks);
    ASSERT_EQ(imported, u"甲\r\n乙\r丙");
    const auto result = writeDocxRevisions(breaks, imported, u"甲\n插乙\n丁", {}, kSettings);
    ASSERT_TRUE(result.ok) << utf8(result.message);
    EXPECT_EQ(readDocxText(result.docx), u"甲\r\n插乙\r丁");

    const auto commented = writeDocxRevisions(buildDocx(paragraph(run("甲乙"))), u"甲乙", u"甲乙",
                                              {{0, 1, u"甲\x01", u"乙\x1F", u""}}, kSettings);
    ASSERT_TRUE(commented.ok) << utf8(commented.message);
    const auto comments = readZipEntry(commented.docx, "word/comments.xml");
    ASSERT_TRUE(comments.has_value());
    EXPECT_EQ(comments->find("&#x1"), std::string::npos) << *comments;
    EXPECT_NE(comments->find("\xEF\xBF\xBD"), std::string::npos) << *comments;
}

TEST(DocxRevisions, RandomEditsReadBackAsTheEditedText) {
    std::mt19937 random(20240501);
    const std::u16string alphabet = u"甲乙丙丁戊己&<>\"' \t";
    const auto pick = [&](std::size_t n) {
        return static_cast<std::size_t>(random() % static_cast<unsigned>(n));
    };
    for (int round = 0; round < 200; ++round) {
        std::string body;
        for (std::size_t p = 0, paragraphs = 1 + pick(4); p < paragraphs; ++p) {
            std::string runs;
            for (std::size_t r = 0, count = pick(4); r < count; ++r) {
                std::string text;
                for (std::size_t c = 0, length = 1 + pick(5); c < length; ++c) {
                    const char16_t u = alphabet[pick(alphabet.size() - 1)];
                    text += u == u'&' ? "&amp;" : u == u'<' ? "&lt;" : utf8(std::u16string(1, u));
                }
                runs += pick(4) == 0 ? "<w:r><w:tab/></w:r>" : run(text, pick(2) ? "<w:b/>" : "");
            }
            body += paragraph(runs);
        }
        const std::string docx = buildDocx(body);
        const std::u16string imported = *readDocxText(docx);
        std::u16string current = imported;
        for (std::size_t e = 0, edits = pick(4); e < edits; ++e) {
            const std::size_t at = pick(current.size() + 1);
            std::size_t length = std::min(pick(3), current.size() - at);
            if (current.substr(at, length).find(u'\n') != std::u16string::npos) {
                length = 0;
            }
            current.replace(at, length, std::u16string(pick(3), alphabet[pick(alphabet.size())]));
        }
        std::vector<OpenFinding> findings;
        if (!current.empty()) {
            const std::size_t at = pick(current.size());
            findings.push_back({static_cast<std::int64_t>(at), 1, u"", u"", u""});
        }
        const auto result = writeDocxRevisions(docx, imported, current, findings, kSettings);
        ASSERT_TRUE(result.ok) << utf8(result.message) << " " << body << " -> " << utf8(current);
        const auto xml = readZipEntry(result.docx, "word/document.xml");
        ASSERT_TRUE(mapDocxXml(*xml)) << *xml;
        EXPECT_EQ(readDocxText(result.docx), current) << *xml;
    }
}

TEST(TextDiff, ChangesTurnTheOldTextIntoTheNew) {
    std::mt19937 random(7);
    for (int round = 0; round < 500; ++round) {
        std::u16string a;
        std::u16string b;
        for (int i = 0, n = static_cast<int>(random() % 40); i < n; ++i) {
            a.push_back(u"ab\nc"[random() % 4]);
        }
        b = a;
        for (int e = 0, n = static_cast<int>(random() % 4); e < n; ++e) {
            const std::size_t at = random() % (b.size() + 1);
            b.replace(at, std::min<std::size_t>(random() % 3, b.size() - at),
                      std::u16string(random() % 3, u"xb\n"[random() % 3]));
        }
        std::u16string applied;
        std::size_t done = 0;
        std::size_t newDone = 0;
        for (const TextChange& c : diffTexts(a, b)) {
            // Between two changes lies the same non-empty stretch of both texts.
            ASSERT_EQ(c.oldBegin - done, c.newBegin - newDone);
            ASSERT_TRUE(done == 0 || c.oldBegin > done);
            applied += a.substr(done, c.oldBegin - done);
            applied += b.substr(c.newBegin, c.newEnd - c.newBegin);
            done = c.oldEnd;
            newDone = c.newEnd;
        }
        applied += a.substr(done);
        EXPECT_EQ(applied, b);
    }
    EXPECT_EQ(diffTexts(u"再接再励\n其余", u"再接再厉\n其余"),
              (std::vector<TextChange>{{3, 4, 3, 4}}));
    // As many line breaks on both sides: none of them moves, though an alignment of the same
    // cost could move one.
    EXPECT_EQ(diffTexts(u"\n&己\n\t丁", u"\n&\t\t\n己己\t丁"),
              (std::vector<TextChange>{{2, 3, 2, 4}, {4, 4, 5, 7}}));
}

namespace {

// A text file written, imported, edited and exported again, read back as bytes.
std::string exported(const std::string& bytes, const std::u16string& from, const std::u16string& to,
                     DocumentSource* sourceOut = nullptr) {
    TempDir dir;
    test::writeBytes(dir.file("in.txt"), bytes);
    const DocumentReadResult read = readDocument(dir.file("in.txt"));
    EXPECT_TRUE(read.ok);
    std::u16string editor;
    for (std::size_t i = 0; i < read.text.size(); ++i) {
        const bool crlf =
            read.text[i] == u'\r' && i + 1 < read.text.size() && read.text[i + 1] == u'\n';
        editor.push_back(read.text[i] == u'\r' ? u'\n' : read.text[i]);
        i += crlf ? 1 : 0;
    }
    const auto at = editor.find(from);
    EXPECT_NE(at, std::u16string::npos);
    editor.replace(at, from.size(), to);
    if (sourceOut != nullptr) {
        *sourceOut = read.source;
    }
    const ExportResult result = exportRevised(read.source, editor, {}, dir.file("out.txt"));
    EXPECT_TRUE(result.ok) << utf8(result.message);
    return test::readBytes(dir.file("out.txt"));
}

}  // namespace

TEST(TextSource, CorrectedTextKeepsTheEncodingAndTheLineEnds) {
    DocumentSource source;
    // UTF-8 without and with its mark, CR LF kept and a new break written as CR LF.
    EXPECT_EQ(exported("甲乙\r\n丙\r\n", u"乙", u"戊\n己", &source), "甲戊\r\n己\r\n丙\r\n");
    EXPECT_EQ(source.encoding, TextEncoding::Utf8);
    EXPECT_EQ(source.lineEnd, LineEnd::CrLf);
    EXPECT_EQ(exported("\xEF\xBB\xBF甲\n乙", u"乙", u"丙", &source), "\xEF\xBB\xBF甲\n丙");
    EXPECT_EQ(source.encoding, TextEncoding::Utf8WithMark);
    // The mark stays even when the editor's first character (the mark) was deleted.
    EXPECT_EQ(exported("\xEF\xBB\xBF甲", u"\uFEFF甲", u"乙"), "\xEF\xBB\xBF乙");
    // UTF-16LE with its mark, lone CR line ends.
    EXPECT_EQ(exported("\xFF\xFE" + test::utf16le(u"甲\r乙\r"), u"乙\n", u"丙\n丁\n", &source),
              "\xFF\xFE" + test::utf16le(u"甲\r丙\r丁\r"));
    EXPECT_EQ(source.encoding, TextEncoding::Utf16LeWithMark);
    EXPECT_EQ(source.lineEnd, LineEnd::Cr);
    // GB18030 (中文 → 中国), and mixed line ends: each unchanged one stays as it was.
    EXPECT_EQ(exported("\xD6\xD0\xCE\xC4\r\na\nb\r\n", u"文", u"国", &source),
              "\xD6\xD0\xB9\xFA\r\na\nb\r\n");
    EXPECT_EQ(source.encoding, TextEncoding::Gb18030);
}

TEST(TextSource, ExportRefusesWhatWouldLoseOrOverwriteData) {
    TempDir dir;
    const std::string in = dir.file("in.txt");
    test::writeBytes(in, "甲乙");
    DocumentReadResult read = readDocument(in);
    ASSERT_TRUE(read.ok);
    // The source itself, also through a link, is never the output.
    ASSERT_EQ(::symlink(in.c_str(), dir.file("link.txt").c_str()), 0);
    EXPECT_FALSE(exportRevised(read.source, u"丙", {}, in).ok);
    EXPECT_FALSE(exportRevised(read.source, u"丙", {}, dir.file("link.txt")).ok);
    EXPECT_EQ(test::readBytes(in), "甲乙");
    // A source changed since the import.
    test::writeBytes(in, "甲乙丙");
    ExportResult result = exportRevised(read.source, u"丙", {}, dir.file("out.txt"));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.empty());
    // Text read only in part: writing it would drop the rest.
    test::writeBytes(in,
                     "ab\x80"
                     "cd");
    read = readDocument(in);
    ASSERT_TRUE(read.ok);
    EXPECT_FALSE(read.source.complete);
    EXPECT_FALSE(exportRevised(read.source, u"ab", {}, dir.file("out.txt")).ok);
    // A character UTF-8 cannot hold.
    test::writeBytes(in, "甲");
    read = readDocument(in);
    EXPECT_FALSE(exportRevised(read.source, u"\xD800", {}, dir.file("out.txt")).ok);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt")));
    EXPECT_EQ(revisedFileName("/a/b.c/书稿.docx", SourceKind::Docx), "/a/b.c/书稿-校对.docx");
    EXPECT_EQ(revisedFileName("/a/b.c/notes", SourceKind::Text), "/a/b.c/notes-校对.txt");
}
