// Reading files for import, and the findings workbook read back from the written file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "documents/document_reader.h"
#include "documents/docx_text.h"
#include "documents/workbook_writer.h"
#include "test_support.h"
#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"
#include "zip_support.h"

using namespace kjf;
using kjf::test::buildDocx;
using kjf::test::buildZip;
using kjf::test::TempDir;
using kjf::test::utf16le;
using kjf::test::writeBytes;

namespace {

DocumentReadResult importBytes(const TempDir& dir, const std::string& bytes) {
    writeBytes(dir.file("in"), bytes);
    return readDocument(dir.file("in"));
}

std::u16string importedText(const std::string& bytes) {
    const auto result = decodeDocumentBytes(bytes);
    EXPECT_TRUE(result.ok) << "bytes of size " << bytes.size();
    EXPECT_TRUE(result.message.empty());
    return result.text;
}

void expectRefused(const std::string& bytes) {
    const auto result = decodeDocumentBytes(bytes);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.text.empty());
    EXPECT_FALSE(result.message.empty());
}

std::string paragraph(const std::string& runs) {
    return "<w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"420\"/></w:tabs></w:pPr>" + runs +
           "</w:p>";
}

std::string run(const std::string& text) {
    return "<w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

}  // namespace

TEST(DocumentImport, Utf8AndUtf16leFilesReadExactlyLikeTextFiles) {
    const std::vector<std::string> files = {
        "\xFF\xFE" + utf16le(u"中文"),
        "\xFF\xFE" + utf16le(u"前") + std::string(2, '\0') + utf16le(u"后"),
        "\xEF\xBB\xBF\xE4\xB8\xAD",
        "line\r\nline\r\n\xF0\x9F\x98\x80",
        "\xFF\xFE" + utf16le(u"a\xD800") + "b",  // lone surrogate, odd byte count
    };
    TempDir dir;
    for (const auto& bytes : files) {
        writeBytes(dir.file("t"), bytes);
        const auto result = readDocument(dir.file("t"));
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.text, readTextFile(dir.file("t")));
    }
    EXPECT_EQ(importedText("\xFF\xFE" + utf16le(u"中文")), u"中文");
    EXPECT_EQ(importedText("\xEF\xBB\xBF\xE4\xB8\xAD"), u"\uFEFF中");
}

TEST(DocumentImport, LegacyChineseTextIsDecodedAsGb18030) {
    // 中文测试 in GBK, CR LF kept as the text-file rule keeps it.
    EXPECT_EQ(importedText("\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4\r\nOK"), u"中文测试\r\nOK");
    // A four-byte sequence beyond the BMP: U+20000.
    EXPECT_EQ(importedText("a\x95\x32\x82\x36"), u"a\xD840\xDC00");
    // Bytes that are neither UTF-8 nor GB18030 keep the text-file rule: up to the fault.
    EXPECT_EQ(importedText("ab\x80"
                           "cd"),
              u"ab");
    EXPECT_EQ(importedText("ab\xE4"), u"ab");
}

TEST(DocumentImport, EmptyFileIsAnEmptyText) {
    TempDir dir;
    const auto result = importBytes(dir, "");
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.text.empty());
}

TEST(DocumentImport, BinaryFilesAreRefusedNotTurnedIntoJunk) {
    // An old Word document: OLE2 compound file.
    const std::string ole = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) +
                            std::string(504, '\0') + "Word.Document";
    expectRefused(ole);
    EXPECT_NE(decodeDocumentBytes(ole).message.find(u".doc"), std::u16string::npos);
    expectRefused(std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
    expectRefused(std::string("a\0b\0c\0", 6));          // UTF-16LE without its mark
    expectRefused(std::string("\xFE\xFF\0a\0b", 6));     // UTF-16BE
    expectRefused(test::buildZip({{"a.txt", "text"}}));  // an archive that is no document
    expectRefused(std::string("PK\x03\x04 truncated", 15));
}

TEST(DocumentImport, FilesThatCannotBeReadGiveAMessage) {
    TempDir dir;
    for (const std::string& path : {std::string(), dir.file("missing.txt"), dir.path()}) {
        const auto result = readDocument(path);
        EXPECT_FALSE(result.ok) << path;
        EXPECT_FALSE(result.message.empty());
    }
    if (::geteuid() != 0) {
        writeBytes(dir.file("locked.txt"), "abc");
        ::chmod(dir.file("locked.txt").c_str(), 0);
        EXPECT_FALSE(readDocument(dir.file("locked.txt")).ok);
    }
}

TEST(DocxImport, ParagraphsTablesTabsAndBreaksBecomeText) {
    const std::string body = paragraph(run("第一段") + "<w:r><w:tab/><w:t>制表</w:t></w:r>") +
                             paragraph("") +  // an empty paragraph is an empty line
                             paragraph(run("换") + "<w:r><w:br/></w:r>" + run("行")) +
                             "<w:tbl><w:tblPr/><w:tr><w:tc><w:p>" + run("甲") +
                             "</w:p></w:tc><w:tc>" + paragraph(run("乙一")) +
                             paragraph(run("乙二")) + "</w:tc><w:tc><w:p/></w:tc></w:tr>" +
                             "<w:tr><w:tc><w:p>" + run("丙") + "</w:p></w:tc><w:tc><w:p>" +
                             run("丁") + "</w:p></w:tc></w:tr></w:tbl>" + paragraph(run("末段"));
    const auto text = readDocxText(buildDocx(body));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, u"第一段\t制表\n\n换\n行\n甲\t乙一\n乙二\t\n丙\t丁\n末段");
}

TEST(DocxImport, MarkupDetailsThatWordWrites) {
    // Entities and character references, CDATA, comments, deleted and field text, the
    // duplicate fallback of alternate content, and a prefix other than w.
    EXPECT_EQ(docxXmlToText("<w:p><w:r><w:t>a&lt;b&gt;&amp;&quot;&apos;&#20013;&#x6587;&#x1F600;"
                            "&bogus;&</w:t></w:r></w:p>"),
              u"a<b>&\"'中文\xD83D\xDE00&bogus;&");
    EXPECT_EQ(docxXmlToText("<w:p><w:r><w:t><![CDATA[<x>]]></w:t><!-- <w:t>no</w:t> -->"
                            "<w:delText>删</w:delText><w:instrText>PAGE</w:instrText>"
                            "<w:t>留</w:t></w:r></w:p>"),
              u"<x>留");
    EXPECT_EQ(docxXmlToText("<w:p><mc:AlternateContent><mc:Choice><w:t>框</w:t></mc:Choice>"
                            "<mc:Fallback><w:p><w:t>框</w:t></w:p></mc:Fallback>"
                            "</mc:AlternateContent><w:t attr='>'>字</w:t></w:p>"),
              u"框字");
    EXPECT_EQ(docxXmlToText("<x:document xmlns:x=\"http://schemas.openxmlformats.org/"
                            "wordprocessingml/2006/main\"><x:body><x:p><x:r><x:t>文</x:t>"
                            "<w:t>not word</w:t></x:r></x:p></x:body></x:document>"),
              u"文");
    // Text never holds U+0000, however it is written.
    EXPECT_EQ(docxXmlToText(std::string("<w:t>a&#0;b\0c</w:t>", 20)), u"abc");
}

// A text box's fallback copy with empty elements in it (as Word writes them) was read as text
// too, so its words came twice; a deleted tab or break is as deleted as its text.
TEST(DocxImport, FallbackCopiesAndDeletedTabsAreNoText) {
    EXPECT_EQ(docxXmlToText("<w:p><mc:AlternateContent><mc:Choice><w:r><w:t>框</w:t></w:r>"
                            "</mc:Choice><mc:Fallback><w:pict><v:fill/><v:stroke/><w:txbxContent>"
                            "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>框</w:t></w:r></w:p>"
                            "</w:txbxContent></w:pict></mc:Fallback></mc:AlternateContent>"
                            "<w:r><w:t>外</w:t></w:r></w:p>"),
              u"框外");
    EXPECT_EQ(docxXmlToText("<w:p><w:r><w:t>甲</w:t></w:r><w:del><w:r><w:tab/><w:br/>"
                            "<w:delText>乙</w:delText></w:r></w:del><w:ins><w:r><w:tab/>"
                            "<w:t>丙</w:t></w:r></w:ins></w:p>"),
              u"甲\t丙");
    // Text moved with tracking on is read once, where it now stands.
    EXPECT_EQ(docxXmlToText("<w:p><w:moveTo><w:r><w:t>移</w:t></w:r></w:moveTo><w:r><w:t>中</w:t>"
                            "</w:r><w:moveFrom><w:r><w:t>移</w:t></w:r></w:moveFrom></w:p>"),
              u"移中");
}

// A part cut short or damaged inside was read up to its fault and passed for the whole
// document; a part stored as UTF-16, which the format allows, was read as garbled bytes.
TEST(DocxImport, APartCutShortIsIncompleteAndUtf16PartsAreDecoded) {
    const std::string whole = "<w:document><w:body>" + paragraph(run("第一段")) +
                              paragraph(run("第二段")) + "</w:body></w:document>";
    EXPECT_TRUE(readDocxXml(whole).complete);
    const DocxXmlText cut = readDocxXml(whole.substr(0, whole.find("第二") + 6));
    EXPECT_FALSE(cut.complete);
    EXPECT_EQ(cut.text, u"第一段\n第二");
    EXPECT_FALSE(readDocxXml(std::string("<w:p><w:r><w:t>a\0b</w:t></w:r></w:p>", 36)).complete);

    const DocumentReadResult read =
        decodeDocumentBytes(buildZip({{"word/document.xml", whole.substr(0, whole.size() - 12)}}));
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.source.kind, SourceKind::Docx);
    EXPECT_FALSE(read.source.complete);
    EXPECT_TRUE(decodeDocumentBytes(buildZip({{"word/document.xml", whole}})).source.complete);

    const std::string declared = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + whole;
    const std::u16string units = utf8ToUtf16(declared);
    std::string little("\xFF\xFE");
    std::string big("\xFE\xFF");
    std::string unmarked;
    for (const char16_t unit : units) {
        little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
        unmarked += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    for (const std::string& xml : {little, big, unmarked}) {
        const DocxXmlText text = readDocxXml(xml);
        EXPECT_TRUE(text.complete);
        EXPECT_EQ(text.text, u"第一段\n第二段");
    }
    EXPECT_EQ(readDocxText(buildZip({{"word/document.xml", little}})), u"第一段\n第二段");
}

TEST(DocxImport, RealDocumentFileIsImported) {
    TempDir dir;
    const auto result =
        importBytes(dir, buildDocx(paragraph(run("校对文本")) + paragraph(run("第二行"))));
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.text, u"校对文本\n第二行");
}

TEST(DocxImport, CorruptAndHostileArchivesFailCleanly) {
    const std::string docx = buildDocx(paragraph(run(std::string(3000, 'x'))));
    ASSERT_TRUE(readDocxText(docx).has_value());
    // Cut short, anywhere.
    for (std::size_t cut : {docx.size() / 3, docx.size() / 2, docx.size() - 10}) {
        EXPECT_FALSE(decodeDocumentBytes(docx.substr(0, cut)).ok) << cut;
    }
    // Damaged compressed data: the checksum or the inflater refuses it.
    std::string damaged = docx;
    const auto data = damaged.find("word/document.xml") + 20;
    for (std::size_t i = data; i < data + 16; ++i) {
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    }
    EXPECT_FALSE(decodeDocumentBytes(damaged).ok);
    // More XML than the bound allows, whatever the archive claims.
    EXPECT_FALSE(readDocxText(docx, 1000).has_value());
    EXPECT_TRUE(readDocxText(docx, 100000).has_value());
}

namespace {

struct Cell {
    int style = -1;
    std::optional<std::string> text;  // nullopt for a blank cell
};

// Each element of xml that starts with open: the start tag alone when it closes itself, else
// through the first close after it.
std::vector<std::string> elements(std::string_view xml, std::string_view open,
                                  std::string_view close) {
    std::vector<std::string> found;
    for (auto at = xml.find(open); at != std::string_view::npos; at = xml.find(open, at + 1)) {
        const auto tagEnd = xml.find('>', at);
        if (tagEnd == std::string_view::npos) {
            break;
        }
        auto end = xml[tagEnd - 1] == '/' ? tagEnd + 1 : xml.find(close, tagEnd);
        end = end == std::string_view::npos ? xml.size() : end;
        found.emplace_back(
            xml.substr(at, xml[tagEnd - 1] == '/' ? end - at : end + close.size() - at));
    }
    return found;
}

std::string attribute(std::string_view element, const std::string& name) {
    const auto at = element.find(" " + name + "=\"");
    if (at == std::string_view::npos) {
        return {};
    }
    const auto begin = at + name.size() + 3;
    return std::string(element.substr(begin, element.find('"', begin) - begin));
}

std::string section(const std::string& xml, const std::string& name) {
    const auto begin = xml.find("<" + name);
    return xml.substr(begin, xml.find("</" + name + ">") - begin);
}

// The cells of sheet1, by reference (A1, B2, ...), with shared strings resolved.
std::map<std::string, Cell> readCells(const std::string& xlsx) {
    const auto sheet = test::readZipEntry(xlsx, "xl/worksheets/sheet1.xml");
    const auto shared = test::readZipEntry(xlsx, "xl/sharedStrings.xml");
    EXPECT_TRUE(sheet && shared);
    std::vector<std::string> strings;
    for (const auto& si : elements(*shared, "<si>", "</si>")) {
        const auto open = si.find('>', si.find("<t")) + 1;
        const auto close = si.find("</t>");
        strings.push_back(close == std::string::npos ? "" : si.substr(open, close - open));
    }
    std::map<std::string, Cell> cells;
    for (const auto& c : elements(*sheet, "<c ", "</c>")) {
        Cell cell;
        cell.style = std::stoi(attribute(c, "s"));
        if (attribute(c, "t") == "s") {
            const auto v = c.find("<v>") + 3;
            cell.text = strings.at(std::stoul(c.substr(v, c.find("</v>") - v)));
        }
        cells[attribute(c, "r")] = cell;
    }
    return cells;
}

}  // namespace

TEST(FindingsWorkbook, CellsAreTheListsTextsWithOneBorderedCentredWrappedFormat) {
    TempDir dir;
    std::vector<WorkbookRow> rows;
    appendWorkbookRows({{FindingType::Error, 26, 4, u"再接再励", u"再接再厉"},
                        {FindingType::Suspected, 40, 1, u"丁", u""}},
                       rows);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], (WorkbookRow{u"2", u"丁", u"", u""}));
    const std::string path = dir.file("错误列表.xlsx");
    const auto written = writeFindingsWorkbook(path, rows);
    ASSERT_TRUE(written.ok);
    EXPECT_TRUE(written.message.empty());

    const std::string xlsx = test::readBytes(path);
    const auto workbook = test::readZipEntry(xlsx, "xl/workbook.xml");
    ASSERT_TRUE(workbook);
    EXPECT_NE(workbook->find("<sheet name=\"sheet1\" sheetId=\"1\""), std::string::npos);
    EXPECT_EQ(workbook->find("sheetId=\"2\""), std::string::npos);

    const auto cells = readCells(xlsx);
    const std::map<std::string, std::optional<std::string>> expected = {
        {"A1", "序号"}, {"B1", "错误"},     {"C1", "建议"},       {"D1", "类型"},
        {"A2", "1"},    {"B2", "再接再励"}, {"C2", "再接再厉"},   {"D2", "错误"},
        {"A3", "2"},    {"B3", "丁"},       {"C3", std::nullopt}, {"D3", std::nullopt},
    };
    ASSERT_EQ(cells.size(), expected.size());
    const int style = cells.at("A1").style;
    for (const auto& [ref, text] : expected) {
        EXPECT_EQ(cells.at(ref).text, text) << ref;
        EXPECT_EQ(cells.at(ref).style, style) << ref;  // empty cells carry the format too
    }

    // That style: thin border on all four sides, centred both ways, wrapped.
    const auto styles = test::readZipEntry(xlsx, "xl/styles.xml");
    ASSERT_TRUE(styles);
    const auto xfList = elements(section(*styles, "cellXfs"), "<xf ", "</xf>");
    ASSERT_LT(static_cast<std::size_t>(style), xfList.size());
    const std::string& format = xfList[static_cast<std::size_t>(style)];
    EXPECT_NE(format.find("<alignment horizontal=\"center\" vertical=\"center\" wrapText=\"1\"/>"),
              std::string::npos);
    const auto borders = elements(section(*styles, "borders"), "<border>", "</border>");
    const std::string& chosen = borders.at(std::stoul(attribute(format, "borderId")));
    for (const char* side : {"left", "right", "top", "bottom"}) {
        EXPECT_NE(chosen.find(std::string("<") + side + " style=\"thin\""), std::string::npos)
            << side;
    }
}

// U+FFFE in a finding (text can hold it) went into the workbook's XML as it was, so that the file
// was no well-formed XML, and was reported as written.
TEST(FindingsWorkbook, NoncharactersAreWrittenEscapedAsControlCharactersAre) {
    TempDir dir;
    const std::string path = dir.file("e.xlsx");
    ASSERT_TRUE(writeFindingsWorkbook(path, {{u"1", u"甲\uFFFE乙\uFFFF", u"\u0001", u""}}).ok);
    const auto strings = test::readZipEntry(test::readBytes(path), "xl/sharedStrings.xml");
    ASSERT_TRUE(strings);
    EXPECT_EQ(strings->find("\xEF\xBF\xBE"), std::string::npos);
    EXPECT_EQ(strings->find("\xEF\xBF\xBF"), std::string::npos);
    EXPECT_NE(strings->find("甲_xFFFE_乙_xFFFF_"), std::string::npos) << *strings;
    EXPECT_NE(strings->find("_x0001_"), std::string::npos) << *strings;
}

TEST(FindingsWorkbook, OneRowGivesHeaderAndThatRow) {
    TempDir dir;
    std::vector<WorkbookRow> rows;
    appendWorkbookRows({{FindingType::Suspected, 0, 1, u"丁", u""}}, rows);
    ASSERT_TRUE(writeFindingsWorkbook(dir.file("a.xlsx"), rows).ok);
    const auto sheet =
        test::readZipEntry(test::readBytes(dir.file("a.xlsx")), "xl/worksheets/sheet1.xml");
    ASSERT_TRUE(sheet);
    EXPECT_NE(sheet->find("<dimension ref=\"A1:D2\"/>"), std::string::npos);
}

TEST(FindingsWorkbook, ReplacesAnOldFileAndLeavesNothingBehindOnFailure) {
    TempDir dir;
    const std::string path = dir.file("out.xlsx");
    writeBytes(path, "old");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(writeFindingsWorkbook(path, {}).ok);
    EXPECT_TRUE(test::readZipEntry(test::readBytes(path), "xl/worksheets/sheet1.xml"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A folder that does not exist, and a folder in the file's place.
    auto result = writeFindingsWorkbook(dir.file("missing/out.xlsx"), {});
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.empty());
    std::filesystem::create_directory(dir.file("taken.xlsx"));
    result = writeFindingsWorkbook(dir.file("taken.xlsx"), {});
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.empty());
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2u);  // out.xlsx and taken.xlsx: no temporary file left over
}

TEST(FindingsWorkbook, EveryFailedStepLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir.file("out.xlsx");
    std::vector<WorkbookRow> rows;
    appendWorkbookRows({{FindingType::Error, 0, 2, u"再接", u"再接"}}, rows);
    for (const char* step : {"open", "write", "sync", "rename"}) {
        writeBytes(path, "old");
        kjf::setWriteFaultInjectorForTesting([step](std::string_view s) { return s == step; });
        const auto result = writeFindingsWorkbook(path, rows);
        kjf::setWriteFaultInjectorForTesting({});
        EXPECT_FALSE(result.ok) << step;
        EXPECT_FALSE(result.message.empty()) << step;
        EXPECT_EQ(test::readBytes(path), "old") << step;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << step;
    }
}
