// Reading files for import, and the findings workbook read back from the written file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>

#include "documents/document_reader.h"
#include "documents/workbook_writer.h"
#include "test_support.h"
#include "text/text_file.h"
#include "zip_support.h"

using namespace kjf;
using kjf::test::buildDocx;
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

// The cells of sheet1, by reference (A1, B2, ...), with shared strings resolved.
std::map<std::string, Cell> readCells(const std::string& xlsx) {
    const auto sheet = test::readZipEntry(xlsx, "xl/worksheets/sheet1.xml");
    const auto shared = test::readZipEntry(xlsx, "xl/sharedStrings.xml");
    EXPECT_TRUE(sheet && shared);
    std::vector<std::string> strings;
    const std::regex si("<si><t[^>]*>([^<]*)</t></si>|<si><t/></si>");
    for (std::sregex_iterator it(shared->begin(), shared->end(), si), end; it != end; ++it) {
        strings.push_back((*it)[1]);
    }
    std::map<std::string, Cell> cells;
    const std::regex c(
        "<c r=\"([A-Z]+[0-9]+)\" s=\"([0-9]+)\"( t=\"s\")?(/>|><v>([0-9]+)</v></c>)");
    for (std::sregex_iterator it(sheet->begin(), sheet->end(), c), end; it != end; ++it) {
        Cell cell;
        cell.style = std::stoi((*it)[2]);
        if ((*it)[3].matched) {
            cell.text = strings.at(std::stoul((*it)[5]));
        }
        cells[(*it)[1]] = cell;
    }
    return cells;
}

}  // namespace

TEST(FindingsWorkbook, CellsAreTheListsTextsWithOneBorderedCentredWrappedFormat) {
    TempDir dir;
    std::vector<ErrorListRow> rows;
    appendErrorListRows({{1, 26, 4, u"再接再励", u"再接再厉"}, {2, 40, 1, u"丁", u""}}, rows);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], (ErrorListRow{u"2", u"丁", u"", u""}));
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
    const auto xfs = styles->substr(styles->find("<cellXfs"));
    std::vector<std::string> xfList;
    const std::regex xf("<xf [^>]*?(/>|>.*?</xf>)");
    for (std::sregex_iterator it(xfs.begin(), xfs.end(), xf), end; it != end; ++it) {
        xfList.push_back(it->str());
    }
    ASSERT_LT(static_cast<std::size_t>(style), xfList.size());
    const std::string& format = xfList[static_cast<std::size_t>(style)];
    EXPECT_NE(format.find("<alignment horizontal=\"center\" vertical=\"center\" wrapText=\"1\"/>"),
              std::string::npos);
    std::smatch borderId;
    ASSERT_TRUE(std::regex_search(format, borderId, std::regex("borderId=\"([0-9]+)\"")));
    const auto bordersAt = styles->find("<borders");
    std::vector<std::string> borders;
    const std::string bordersXml =
        styles->substr(bordersAt, styles->find("</borders>") - bordersAt);
    const std::regex border("<border>.*?</border>");
    for (std::sregex_iterator it(bordersXml.begin(), bordersXml.end(), border), end; it != end;
         ++it) {
        borders.push_back(it->str());
    }
    const std::string& chosen = borders.at(std::stoul(borderId[1]));
    for (const char* side : {"left", "right", "top", "bottom"}) {
        EXPECT_NE(chosen.find(std::string("<") + side + " style=\"thin\""), std::string::npos)
            << side;
    }
}

TEST(FindingsWorkbook, OneRowGivesHeaderAndThatRow) {
    TempDir dir;
    std::vector<ErrorListRow> rows;
    appendErrorListRows({{2, 0, 1, u"丁", u""}}, rows);
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
