// "导出修订稿" with real widgets on the offscreen platform: a .docx imported, checked, two
// suggestions accepted and a word typed over, then exported with tracked changes and comments and
// read back; text sources in each encoding; pasted text; and every refusal.
//
// With KJF_EXPORT_KEEP naming a folder, the .docx test leaves its source, its result, the
// editor's text, the imported text and the rows it left there (for the LibreOffice test in
// tests/office/), and with KJF_EXPORT_SOURCE naming a .docx it imports that one instead of its own.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QTextCursor>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>

#include "documents/document_reader.h"
#include "editor_command_fixture.h"
#include "text/files.h"
#include "text/utf.h"
#include "zip_support.h"

namespace kjf::test {
namespace {

std::string utf8(std::u16string_view text) {
    return utf16ToUtf8Lossy(text);
}

// The texts of every element `name` (w:delText, w:t…) inside each element `outer` (w:del, w:ins),
// one string per outer element, in document order.
std::vector<std::string> textsInside(const std::string& xml, const std::string& outer,
                                     const std::string& name) {
    std::vector<std::string> found;
    const std::regex element("<" + outer + "[ >][\\s\\S]*?</" + outer + ">");
    const std::regex text("<" + name + "(?: [^>]*)?>([^<]*)</" + name + ">");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), element);
         it != std::sregex_iterator(); ++it) {
        const std::string inner = it->str();
        std::string joined;
        for (auto t = std::sregex_iterator(inner.begin(), inner.end(), text);
             t != std::sregex_iterator(); ++t) {
            joined += (*t)[1];
        }
        found.push_back(joined);
    }
    return found;
}

// The characters (w:t, not deleted) between each comment's range start and end, by w:id.
std::map<std::string, std::string> commentedTexts(const std::string& xml) {
    std::map<std::string, std::string> found;
    const std::regex range(
        "<w:commentRangeStart w:id=\"([0-9]+)\"/>([\\s\\S]*?)"
        "<w:commentRangeEnd w:id=\"\\1\"/>");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), range);
         it != std::sregex_iterator(); ++it) {
        const std::string inner = (*it)[2];
        const std::regex text("<w:t(?: [^>]*)?>([^<]*)</w:t>");
        std::string joined;
        for (auto t = std::sregex_iterator(inner.begin(), inner.end(), text);
             t != std::sregex_iterator(); ++t) {
            joined += (*t)[1];
        }
        found[(*it)[1]] = joined;
    }
    return found;
}

// The content of each comment of comments.xml, by w:id.
std::map<std::string, std::string> commentContents(const std::string& xml) {
    std::map<std::string, std::string> found;
    const std::regex comment("<w:comment w:id=\"([0-9]+)\"[^>]*>([\\s\\S]*?)</w:comment>");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), comment);
         it != std::sregex_iterator(); ++it) {
        const std::string inner = (*it)[2];
        const std::regex text("<w:t(?: [^>]*)?>([^<]*)</w:t>");
        std::string joined;
        for (auto t = std::sregex_iterator(inner.begin(), inner.end(), text);
             t != std::sregex_iterator(); ++t) {
            joined += (*t)[1];
        }
        found[(*it)[1]] = joined;
    }
    return found;
}

class RevisionExportTest : public EditorCommandTest {
  protected:
    void SetUp() override {
        EditorCommandTest::SetUp();
        writeDictionary(
            m_dir, DictionaryKind::SystemCorrect, "c.dict",
            {u"文章", u"写完", u"之后", u"检查", u"编辑", u"地", u"书稿", u"文稿", u"作者"});
        writeDictionary(m_dir, DictionaryKind::SystemError, "e.dict",
                        {u"再接再励$=$再接再厉", u"按步就班$=$按部就班", u"迫不急待$=$迫不及待"});
    }

    void TearDown() override {
        setWriteFaultInjectorForTesting({});
        EditorCommandTest::TearDown();
    }

    QTableView* view() const { return child<QTableView>(main(), "errorListView"); }

    // Gives widget the keyboard focus in the active main window, as a user's click does.
    void focus(QWidget* widget) {
        main()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main()));
        widget->setFocus();
        ASSERT_TRUE(waitUntil([&] { return QApplication::focusWidget() == widget; }));
    }

    int rowOf(std::u16string_view word) const {
        const auto& rows = main()->errorList()->rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].word == q(word)) {
                return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << "no row " << utf8(word);
        return -1;
    }

    // Selects the rows of the words in the list and presses "采用建议".
    void accept(std::initializer_list<std::u16string_view> words) {
        focus(view());
        view()->clearSelection();
        for (const auto word : words) {
            view()->selectionModel()->select(
                main()->errorList()->index(rowOf(word), ErrorListModel::Word),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        QTest::keyClick(view(), Qt::Key_Return);
    }

    // Types text at the editor's caret (over its selection) as an input method commits it.
    void type(std::u16string_view text) {
        focus(editor());
        QInputMethodEvent event;
        event.setCommitString(q(text));
        QApplication::sendEvent(editor(), &event);
    }

    // Selects word in the editor and types replacement over it.
    void typeOver(std::u16string_view word, std::u16string_view replacement) {
        const auto at = editorText().find(word);
        ASSERT_NE(at, std::u16string::npos) << utf8(word);
        main()->selectRange(static_cast<std::int32_t>(at), static_cast<std::int32_t>(word.size()));
        type(replacement);
    }

    // Presses Ctrl+S and answers the save dialog with path (cancels it when empty).
    FileDialogAnswer exportTo(const std::string& path) {
        FileDialogAnswer answer;
        answerFileDialog(answer, QString::fromStdString(path));
        focus(editor());
        QTest::keyClick(editor(), Qt::Key_S, Qt::ControlModifier);
        EXPECT_TRUE(answer.shown);
        return answer;
    }

    // Presses Ctrl+S, types path (an existing file) into the save dialog and answers the dialog's
    // question whether to replace it: Yes, or No and then cancels the dialog. Returns the question.
    QString exportOver(const std::string& path, QMessageBox::StandardButton reply) {
        QString question;
        whenModal<QFileDialog>([&question, path, reply](QFileDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(path));
            whenModal<QMessageBox>([&question, dialog, reply](QMessageBox* box) {
                question = box->text();
                box->button(reply)->click();
                if (reply != QMessageBox::Yes) {
                    QTimer::singleShot(0, dialog, &QDialog::reject);
                }
            });
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        focus(editor());
        QTest::keyClick(editor(), Qt::Key_S, Qt::ControlModifier);
        return question;
    }

    QString lastMessage() const { return m_messages.empty() ? QString() : m_messages.back().text; }
};

// ---------------------------------------------------------------------------------------------
// A .docx source

std::string docxBody() {
    const std::string bold = "<w:rPr><w:b/><w:color w:val=\"C9211E\"/></w:rPr>";
    const auto p = [](const std::string& runs) { return "<w:p>" + runs + "</w:p>"; };
    const auto r = [](const std::string& text, const std::string& properties = "") {
        return "<w:r>" + properties + "<w:t>" + text + "</w:t></w:r>";
    };
    const auto cell = [&](const std::string& text) { return "<w:tc>" + p(r(text)) + "</w:tc>"; };
    return p(r("文章写完之后") + r("再接再励", bold) + r("检查")) + p(r("编辑按步就班地检查书稿")) +
           "<w:tbl><w:tr>" + cell("作者") + cell("迫不急待") + "</w:tr></w:tbl>" + p(r("作者丌"));
}

TEST_F(RevisionExportTest, DocxKeepsEveryDifferenceAsATrackedChangeAndTheRowsLeftAsComments) {
    const char* keep = std::getenv("KJF_EXPORT_KEEP");
    const char* given = std::getenv("KJF_EXPORT_SOURCE");
    const std::string source = m_files.file("书稿.docx");
    writeBytes(source, given != nullptr ? readBytes(given) : buildDocx(docxBody()));
    start();
    QApplication::clipboard()->setText(QStringLiteral("copied before"));
    main()->importDocument(QString::fromStdString(source));
    const std::u16string imported = editorText();
    ASSERT_EQ(imported,
              u"文章写完之后再接再励检查\n编辑按步就班地检查书稿\n作者\t迫不急待\n作者丌");
    ASSERT_TRUE(main()->documentSource().has_value());
    EXPECT_EQ(main()->documentSource()->kind, SourceKind::Docx);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("copied before"));

    check();
    ASSERT_EQ(main()->errorList()->rowCount(), 4);
    accept({u"再接再励", u"按步就班"});
    typeOver(u"书稿", u"文稿");
    const std::u16string edited = editorText();
    ASSERT_EQ(edited, u"文章写完之后再接再厉检查\n编辑按部就班地检查文稿\n作者\t迫不急待\n作者丌");
    ASSERT_EQ(main()->errorList()->rowCount(), 2);

    m_messages.clear();
    const std::string out = m_files.file("书稿-校对.docx");
    const FileDialogAnswer answer = exportTo(out);
    EXPECT_EQ(answer.mode, QFileDialog::AcceptSave);
    EXPECT_EQ(answer.offeredName, q(u"书稿-校对.docx"));
    EXPECT_EQ(QDir(answer.directory).canonicalPath(),
              QDir(QString::fromStdString(m_files.path())).canonicalPath());
    EXPECT_EQ(answer.filters, QStringList{q(u"Word文档(*.docx)")});
    ASSERT_EQ(m_messages.size(), 1u) << lastMessage().toStdString();
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Information);
    EXPECT_EQ(m_messages[0].caption, q(u"信息:"));
    EXPECT_TRUE(m_messages[0].text.startsWith(q(u"修订稿已保存：\n")))
        << lastMessage().toStdString();
    EXPECT_EQ(status(), q(u"导出成功！"));

    // Read back: the core reader sees the editor's text (insertions are text, deletions not).
    const DocumentReadResult reread = readDocument(out);
    ASSERT_TRUE(reread.ok);
    EXPECT_EQ(reread.text, edited);
    // The changes are exactly the characters that differ, the corrected one in its bold run.
    const std::string written = readBytes(out);
    const std::string xml = readZipEntry(written, "word/document.xml").value_or("");
    EXPECT_EQ(textsInside(xml, "w:del", "w:delText"), (std::vector<std::string>{"励", "步", "书"}));
    EXPECT_EQ(textsInside(xml, "w:ins", "w:t"), (std::vector<std::string>{"厉", "部", "文"}));
    EXPECT_TRUE(std::regex_search(xml, std::regex("<w:ins [^>]*w:author=\"勘鉴坊\"[^>]*>"
                                                  "<w:r><w:rPr><w:b/>[^]*?厉")))
        << xml;
    // A comment for each row left, over its characters.
    const std::string commentsXml = readZipEntry(written, "word/comments.xml").value_or("");
    const auto contents = commentContents(commentsXml);
    const auto ranges = commentedTexts(xml);
    ASSERT_EQ(contents.size(), 2u) << commentsXml;
    std::map<std::string, std::string> byWord;
    for (const auto& [id, text] : ranges) {
        byWord[text] = contents.count(id) != 0 ? contents.at(id) : "?";
    }
    EXPECT_EQ(byWord, (std::map<std::string, std::string>{{"迫不急待", "建议：迫不及待"},
                                                          {"丌", "疑似错误"}}));
    // The source is left as it was.
    EXPECT_EQ(readDocument(source).text, imported);

    if (keep != nullptr) {
        const std::string folder = std::string(keep) + "/";
        std::filesystem::copy_file(source, folder + "source.docx",
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(out, folder + "revised.docx",
                                   std::filesystem::copy_options::overwrite_existing);
        writeBytes(folder + "editor.txt", utf8(edited));
        writeBytes(folder + "imported.txt", utf8(imported));
        std::string rows;
        for (const auto& [word, comment] : byWord) {
            rows += word + "\t" + comment + "\n";
        }
        writeBytes(folder + "comments.tsv", rows);
    }
}

TEST_F(RevisionExportTest, ADocxChangeThatCannotBeTrackedWritesNothingAndSaysWhy) {
    const std::string source = m_files.file("d.docx");
    writeBytes(source, buildDocx(docxBody()));
    start();
    main()->importDocument(QString::fromStdString(source));
    // A new paragraph is no change inside a run.
    QTextCursor end(editor()->document());
    end.movePosition(QTextCursor::End);
    editor()->setTextCursor(end);
    focus(editor());
    QTest::keyClick(editor(), Qt::Key_Return);
    type(u"作者");
    m_messages.clear();
    exportTo(m_files.file("out.docx"));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(m_messages[0].text.startsWith(q(u"导出失败！"))) << lastMessage().toStdString();
    EXPECT_FALSE(std::filesystem::exists(m_files.file("out.docx")));
}

TEST_F(RevisionExportTest, RowsThatCannotBeCommentsAreNamedWithTheSuccess) {
    // 丌 and 亓 are in fields, whose characters can hold no comment.
    const std::string field =
        "<w:fldSimple w:instr=\"PAGE\"><w:r><w:t>丌</w:t></w:r></w:fldSimple>";
    const std::string source = m_files.file("f.docx");
    writeBytes(source, buildDocx("<w:p><w:r><w:t>作者</w:t></w:r>" + field + "</w:p><w:p>" +
                                 std::string(field).replace(field.find("丌"), 3, "亓") + "</w:p>"));
    start();
    main()->importDocument(QString::fromStdString(source));
    ASSERT_EQ(editorText(), u"作者丌\n亓");
    check();
    ASSERT_EQ(main()->errorList()->rowCount(), 2);
    m_messages.clear();
    exportTo(m_files.file("f-校对.docx"));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Information);
    const QStringList lines = m_messages[0].text.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 5) << lastMessage().toStdString();
    EXPECT_EQ(lines[lines.size() - 3], q(u"以下问题未能加为批注："));
    EXPECT_TRUE(lines[lines.size() - 2].contains(q(u"丌")));
    EXPECT_TRUE(lines[lines.size() - 1].contains(q(u"亓")));
    EXPECT_TRUE(std::filesystem::exists(m_files.file("f-校对.docx")));
}

// ---------------------------------------------------------------------------------------------
// Text sources and pasted text

TEST_F(RevisionExportTest, TextKeepsItsEncodingAndLineEndsAndNewBreaksFollowThem) {
    const auto gb18030 = [](std::u16string_view text) {
        return convertEncoding("GB18030", "UTF-16LE", utf16le(text), text.size() * 4).value();
    };
    const auto utf8WithMark = [](std::u16string_view text) { return "\xEF\xBB\xBF" + utf8(text); };
    const auto utf16WithMark = [](std::u16string_view text) { return "\xFF\xFE" + utf16le(text); };
    struct Case {
        const char* name;
        std::function<std::string(std::u16string_view)> encode;
        std::u16string_view lineEnd;
    };
    const Case cases[] = {
        {"UTF-8, CR LF", [](std::u16string_view t) { return utf8(t); }, u"\r\n"},
        {"UTF-8 with its mark, LF", utf8WithMark, u"\n"},
        {"UTF-16LE with its mark, CR", utf16WithMark, u"\r"},
        {"GB18030, CR LF", gb18030, u"\r\n"},
    };
    start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string br(c.lineEnd);
        const std::string source = m_files.file("稿件.txt");
        writeBytes(source, c.encode(u"文章再接再励" + br + u"检查书稿" + br));
        main()->importDocument(QString::fromStdString(source));
        check();
        accept({u"再接再励"});
        typeOver(u"书稿", u"文稿");
        // A new line at the end of the last one.
        main()->selectRange(static_cast<std::int32_t>(editorText().find(u"文稿") + 2), 0);
        focus(editor());
        QTest::keyClick(editor(), Qt::Key_Return);
        type(u"作者");

        m_messages.clear();
        const std::string out = m_files.file("稿件-校对.txt");
        const FileDialogAnswer answer = exportTo(out);
        EXPECT_EQ(answer.offeredName, q(u"稿件-校对.txt"));
        EXPECT_EQ(answer.defaultSuffix, QStringLiteral("txt"));
        EXPECT_EQ(lastMessage().startsWith(q(u"修订稿已保存")), true)
            << lastMessage().toStdString();
        EXPECT_EQ(readBytes(out), c.encode(u"文章再接再厉" + br + u"检查文稿" + br + u"作者" + br));
        std::filesystem::remove(out);
    }
}

TEST_F(RevisionExportTest, PastedTextIsSavedAsUtf8TextAndNoTextAsksForSome) {
    start();
    m_messages.clear();
    // Nothing imported and nothing typed: nothing to save, and no dialog.
    bool dialogShown = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialogShown = true;
            dialog->reject();
        }
    });
    guard.start(200);
    main()->commandAction(Command::ExportRevised)->trigger();
    EXPECT_FALSE(dialogShown);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, q(u"没有可导出的文字，请先导入或输入文字！"));

    editor()->setPlainText(q(u"粘贴的文字\n第二行"));
    m_messages.clear();
    const std::string out = m_files.file("saved");  // the suffix is added
    const FileDialogAnswer answer = exportTo(out);
    EXPECT_EQ(answer.offeredName, q(u"校对稿.txt"));
    EXPECT_EQ(readBytes(out + ".txt"), "粘贴的文字\n第二行");
    EXPECT_TRUE(lastMessage().startsWith(q(u"修订稿已保存")));
}

// ---------------------------------------------------------------------------------------------
// Refusals

TEST_F(RevisionExportTest, ASourceChangedOrGoneOrAnUnwritableFileWritesNothingAndSaysWhy) {
    const std::string source = m_files.file("a.txt");
    writeBytes(source, "文章");
    start();
    main()->importDocument(QString::fromStdString(source));
    typeOver(u"文章", u"书稿");
    const std::string out = m_files.file("a-校对.txt");

    // Changed since the import.
    writeBytes(source, "文章。");
    m_messages.clear();
    exportTo(out);
    EXPECT_TRUE(lastMessage().contains(q(u"源文件自导入以来已改变")))
        << lastMessage().toStdString();
    EXPECT_FALSE(std::filesystem::exists(out));
    // Gone.
    std::filesystem::remove(source);
    exportTo(out);
    EXPECT_TRUE(lastMessage().contains(q(u"源文件已不存在"))) << lastMessage().toStdString();
    EXPECT_FALSE(std::filesystem::exists(out));

    // A folder that is a file: nothing can be made below it; the system's reason is said.
    writeBytes(source, "文章");
    writeBytes(m_files.file("plain"), "x");
    m_messages.clear();
    exportTo(m_files.file("plain/out.txt"));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(m_messages[0].text.startsWith(q(u"导出失败！"))) << lastMessage().toStdString();
    EXPECT_TRUE(m_messages[0].text.contains(q(u"\n原因："))) << lastMessage().toStdString();

    // A write that fails on the way (a full disk) leaves the existing output whole.
    writeBytes(out, "earlier output");
    setWriteFaultInjectorForTesting([](std::string_view step) { return step == "write"; });
    m_messages.clear();
    EXPECT_FALSE(exportOver(out, QMessageBox::Yes).isEmpty());
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(lastMessage().contains(q(u"\n原因："))) << lastMessage().toStdString();
    EXPECT_EQ(readBytes(out), "earlier output");
    EXPECT_NE(status(), q(u"导出成功！"));
}

TEST_F(RevisionExportTest, AnExistingFileIsReplacedOnlyWhenTheDialogsQuestionIsAnsweredYes) {
    const std::string source = m_files.file("b.txt");
    writeBytes(source, "文章");
    start();
    main()->importDocument(QString::fromStdString(source));
    typeOver(u"文章", u"书稿");
    const std::string out = m_files.file("b-校对.txt");
    writeBytes(out, "earlier output");

    m_messages.clear();
    EXPECT_FALSE(exportOver(out, QMessageBox::No).isEmpty());
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(readBytes(out), "earlier output");

    EXPECT_FALSE(exportOver(out, QMessageBox::Yes).isEmpty());
    EXPECT_TRUE(lastMessage().startsWith(q(u"修订稿已保存"))) << lastMessage().toStdString();
    EXPECT_EQ(readBytes(out), "书稿");
    // Cancelling the dialog writes nothing either.
    writeBytes(out, "earlier output");
    m_messages.clear();
    exportTo("");
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(readBytes(out), "earlier output");
}

}  // namespace
}  // namespace kjf::test
