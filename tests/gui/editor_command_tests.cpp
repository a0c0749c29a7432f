// The main window's editor commands with real widgets on the offscreen platform: import through
// the file dialog and by dropping files, the workbook export and "退出".
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "editor_command_fixture.h"
#include "ui/file_dialog.h"
#include "zip_support.h"

namespace kjf::test {
namespace {

// ---------------------------------------------------------------------------------------------
// Import

TEST(FileDialogFilter, PairsBecomeQtFiltersWithTheSameDescriptionsAndPatterns) {
    EXPECT_EQ(
        nameFiltersFromPairs(
            u"文本文件(*.txt)|*.txt|Office文件(*.docx)|*.docx|Office文件(*.doc)|*.doc"),
        (QStringList{q(u"文本文件(*.txt)"), q(u"Office文件(*.docx)"), q(u"Office文件(*.doc)")}));
    EXPECT_EQ(nameFiltersFromPairs(u"Text|*.txt"), QStringList{"Text (*.txt)"});
    EXPECT_EQ(nameFiltersFromPairs(u"Text|*.txt|dangling"), QStringList{"Text (*.txt)"});
}

// The import pastes as the editor pastes, and what the user had copied stays on the clipboard in
// every format.
TEST_F(EditorCommandTest, ImportReplacesTheTextAsAPasteAndLeavesTheClipboardAlone) {
    start();
    editor()->setPlainText(QStringLiteral("old text"));
    auto* copied = new QMimeData;
    copied->setText(QStringLiteral("copied text"));
    copied->setHtml(QStringLiteral("<b>copied</b> text"));
    copied->setData(QStringLiteral("application/x-kjf-test"), QByteArray("\x00\x01binary", 8));
    QApplication::clipboard()->setMimeData(copied);
    // UTF-8 with CR LF and a lone CR: each line break is one break in the editor.
    const std::string file = m_files.file("a.txt");
    writeBytes(file, "\xE4\xB8\xAD\xE6\x96\x87\r\nabc\rdef");

    FileDialogAnswer answer;
    importThroughDialog(file, answer);
    ASSERT_TRUE(answer.shown);
    EXPECT_EQ(answer.filters, (QStringList{q(u"可导入的文件(*.txt *.docx)"), q(u"文本文件(*.txt)"),
                                           q(u"Office文件(*.docx)"), q(u"所有文件(*)")}));
    EXPECT_EQ(answer.mode, QFileDialog::AcceptOpen);
    EXPECT_EQ(editorText(), u"中文\nabc\ndef");
    const QMimeData* clipboard = QApplication::clipboard()->mimeData();
    ASSERT_NE(clipboard, nullptr);
    EXPECT_EQ(clipboard->text(), QStringLiteral("copied text"));
    EXPECT_EQ(clipboard->html(), QStringLiteral("<b>copied</b> text"));
    EXPECT_EQ(clipboard->data(QStringLiteral("application/x-kjf-test")),
              QByteArray("\x00\x01binary", 8));
    ASSERT_TRUE(main()->documentSource().has_value());
    EXPECT_EQ(main()->documentSource()->path,
              QFileInfo(QString::fromStdString(file)).absoluteFilePath().toStdString());
    EXPECT_EQ(main()->documentSource()->lineEnd, LineEnd::CrLf);
    EXPECT_EQ(main()->documentSource()->importedText, u"中文\r\nabc\rdef");
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, q(u"导入成功！"));
    EXPECT_EQ(m_messages[0].caption, q(u"提示"));
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Information);

    // Cancelling the dialog changes nothing and says nothing.
    FileDialogAnswer cancelled;
    answerFileDialog(cancelled, QString());
    main()->commandAction(Command::Import)->trigger();
    EXPECT_TRUE(cancelled.shown);
    EXPECT_EQ(editorText(), u"中文\nabc\ndef");
    EXPECT_EQ(m_messages.size(), 1u);
}

TEST_F(EditorCommandTest, ImportReadsDocxParagraphsAsLinesAndKeepsFindings) {
    start();
    editor()->setPlainText(q(kText));
    check();
    const int rows = main()->errorList()->rowCount();
    ASSERT_GT(rows, 0);
    const std::string file = m_files.file("d.docx");
    writeBytes(file, buildDocx("<w:p><w:r><w:t>第一段</w:t></w:r></w:p>"
                               "<w:p><w:r><w:t>甲</w:t><w:tab/><w:t>乙</w:t></w:r></w:p>"));
    main()->importDocument(QString::fromStdString(file));
    EXPECT_EQ(editorText(), u"第一段\n甲\t乙");
    EXPECT_TRUE(shown(u"导入成功！"));
    EXPECT_EQ(main()->errorList()->rowCount(), rows);
}

// What could not be read is missing from the editor: the import says so instead of succeeding.
TEST_F(EditorCommandTest, AnImportThatReadsOnlyTheStartWarnsWithTheCharactersRead) {
    start();
    const std::string docx = m_files.file("cut.docx");
    // The document's part ends in the middle of its second paragraph.
    writeBytes(docx, buildZip({{"word/document.xml",
                                "<w:document><w:body><w:p><w:r><w:t>第一段</w:t></w:r></w:p>"
                                "<w:p><w:r><w:t>第二"}}));
    main()->importDocument(QString::fromStdString(docx));
    EXPECT_EQ(editorText(), u"第一段\n第二");
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(m_messages[0].text, q(u"只导入了文件开头的 6 个字符：其余部分无法解码，或文档已损坏。"
                                    u"请检查文件后再校对。"));
    ASSERT_TRUE(main()->documentSource().has_value());
    EXPECT_FALSE(main()->documentSource()->complete);

    // Text that is neither UTF-8 nor GB18030 past its start.
    const std::string text = m_files.file("cut.txt");
    writeBytes(text,
               "abc\xFF\xFF\xFF"
               "def");
    main()->importDocument(QString::fromStdString(text));
    EXPECT_EQ(editorText(), u"abc");
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[1].icon, QMessageBox::Warning);
    EXPECT_TRUE(m_messages[1].text.contains(QStringLiteral(" 3 ")));
}

TEST(DocumentArgumentTest, TakesTheFirstNonOptionOrTheOneAfterTheDoubleDash) {
    const auto arg = [](std::initializer_list<const char*> words) {
        QStringList list;
        for (const char* word : words) {
            list.append(QString::fromUtf8(word));
        }
        return documentArgument(list);
    };
    EXPECT_EQ(arg({"kanjianfang"}), QString());
    EXPECT_EQ(arg({"kanjianfang", "稿件.docx", "b.txt"}), QStringLiteral("稿件.docx"));
    EXPECT_EQ(arg({"kanjianfang", "--unknown", "", "a.txt"}), QStringLiteral("a.txt"));
    EXPECT_EQ(arg({"kanjianfang", "--", "-dash.txt"}), QStringLiteral("-dash.txt"));
    EXPECT_EQ(arg({"kanjianfang", "--"}), QString());
}

TEST_F(EditorCommandTest, ADocumentNamedAtStartIsImportedOnceTheMainWindowShows) {
    const std::string file = m_files.file("start.txt");
    writeBytes(file, "\xEF\xBB\xBF开机就打开的稿件");
    m_startup = std::make_unique<rg_QiDongLei>(m_dir.path());
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] { m_startup->welcomeWindow()->finish(0); });
    watchdog.start(10000);
    m_startup->startApplication(QString::fromStdString(file));
    ASSERT_NE(main(), nullptr);
    EXPECT_TRUE(main()->isVisible());
    EXPECT_EQ(editorText(), u"开机就打开的稿件");
    EXPECT_TRUE(shown(u"导入成功！"));
    ASSERT_TRUE(main()->documentSource().has_value());
    EXPECT_EQ(main()->documentSource()->encoding, TextEncoding::Utf8WithMark);
}

TEST_F(EditorCommandTest, ImportRefusesBinaryAndMissingFilesAndKeepsTheEditorAsItWas) {
    start();
    editor()->setPlainText(QStringLiteral("keep me"));
    const QString html = editor()->toHtml();
    QApplication::clipboard()->setText(QStringLiteral("clipboard before"));

    const std::string doc = m_files.file("old.doc");
    writeBytes(doc, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(512, '\0'));
    main()->importDocument(QString::fromStdString(doc));
    main()->importDocument(QString::fromStdString(m_files.file("missing.txt")));

    ASSERT_EQ(m_messages.size(), 2u);
    for (const auto& message : m_messages) {
        EXPECT_EQ(message.icon, QMessageBox::Warning);
        EXPECT_EQ(message.caption, q(u"提示"));
        EXPECT_FALSE(message.text.isEmpty());
        EXPECT_NE(message.text, q(u"导入成功！"));
    }
    EXPECT_EQ(editor()->toHtml(), html);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clipboard before"));
    EXPECT_FALSE(main()->documentSource().has_value());
}

TEST_F(EditorCommandTest, DroppingFilesImportsTheFirstOnly) {
    start();
    const std::string first = m_files.file("first.txt");
    const std::string second = m_files.file("second.txt");
    writeBytes(first, "first file");
    writeBytes(second, "second file");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(first)),
                  QUrl::fromLocalFile(QString::fromStdString(second))});
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor()->viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());

    ASSERT_TRUE(waitUntil([&] { return !m_messages.empty(); }));
    EXPECT_EQ(editorText(), u"first file");
    ASSERT_TRUE(main()->documentSource().has_value());
    EXPECT_EQ(main()->documentSource()->path, first);
    EXPECT_EQ(messageTexts(), std::vector<QString>{q(u"导入成功！")});
}

// ---------------------------------------------------------------------------------------------
// Export

TEST_F(EditorCommandTest, ExportWithAnEmptyListAsksForACheckFirst) {
    start();
    // A file dialog that should not appear is closed, so that the test ends either way.
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
    main()->commandAction(Command::ExportErrors)->trigger();
    EXPECT_FALSE(dialogShown);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, q(u"请先校对后再导出！"));
    EXPECT_EQ(m_messages[0].caption, q(u"提示"));
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
}

TEST_F(EditorCommandTest, ExportWritesTheListsFirstFourColumnsAndShowsTheFile) {
    start();
    editor()->setPlainText(q(kText));
    check();
    ASSERT_EQ(main()->errorList()->rowCount(), 3);

    FileDialogAnswer answer;
    const QString chosen = QString::fromStdString(m_files.file("out"));  // the suffix is added
    answerFileDialog(answer, chosen);
    main()->commandAction(Command::ExportErrors)->trigger();
    ASSERT_TRUE(answer.shown);
    EXPECT_EQ(answer.mode, QFileDialog::AcceptSave);
    EXPECT_EQ(answer.filters, QStringList{q(u"错误文件(*.xlsx)")});
    EXPECT_EQ(answer.defaultSuffix, QStringLiteral("xlsx"));
    EXPECT_EQ(answer.offeredName, q(u"错误列表"));

    const std::string path = m_files.file("out.xlsx");
    const std::string workbook = readBytes(path);
    ASSERT_FALSE(workbook.empty());
    const auto book = readZipEntry(workbook, "xl/workbook.xml");
    ASSERT_TRUE(book.has_value());
    EXPECT_NE(book->find("name=\"sheet1\""), std::string::npos);
    const auto strings = readZipEntry(workbook, "xl/sharedStrings.xml");
    const auto sheet = readZipEntry(workbook, "xl/worksheets/sheet1.xml");
    ASSERT_TRUE(sheet.has_value());
    const std::string cells = strings.value_or("") + *sheet;
    for (const char* expected : {"序号", "错误", "建议", "类型", "再接再励", "再接再厉", "遍"}) {
        EXPECT_NE(cells.find(expected), std::string::npos) << expected;
    }
    EXPECT_EQ(sheet->find("<c r=\"E"), std::string::npos) << "位置 and 长度 are not exported";

    EXPECT_EQ(status(), q(u"导出成功！"));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, q(u"保存成功！"));
    EXPECT_EQ(m_messages[0].caption, q(u"信息:"));
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Information);
    ASSERT_EQ(m_revealed.size(), 1u);
    EXPECT_EQ(QFileInfo(m_revealed[0]).canonicalFilePath(),
              QFileInfo(QString::fromStdString(path)).canonicalFilePath());
}

TEST_F(EditorCommandTest, ExportThatCannotWriteClaimsNoSuccess) {
    start();
    editor()->setPlainText(q(kText));
    check();
    const QString statusBefore = status();
    // A folder that is a regular file: the workbook cannot be created below it.
    writeBytes(m_files.file("plain"), "x");
    FileDialogAnswer answer;
    answerFileDialog(answer, QString::fromStdString(m_files.file("plain/out.xlsx")));
    main()->commandAction(Command::ExportErrors)->trigger();
    ASSERT_TRUE(answer.shown);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
    EXPECT_NE(m_messages[0].text, q(u"保存成功！"));
    EXPECT_EQ(status(), statusBefore);
    EXPECT_TRUE(m_revealed.empty());
}

// The import dialog starts in the user's documents folder, then in the folder of the last import,
// also after a restart; the export is offered beside the imported document, under its name.
TEST_F(EditorCommandTest, FileDialogsStartWhereTheUsersDocumentsAre) {
    TempDir home;
    std::filesystem::create_directory(home.file("Documents"));
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    const auto canonical = [](const QString& folder) {
        return QFileInfo(folder).canonicalFilePath();
    };
    const QString files = canonical(QString::fromStdString(m_files.path()));
    start();
    const std::string file = m_files.file("调研报告.final.txt");
    writeBytes(file, "再接再励");
    FileDialogAnswer first;
    importThroughDialog(file, first);
    EXPECT_EQ(canonical(first.directory),
              canonical(QString::fromStdString(home.file("Documents"))));

    FileDialogAnswer again;
    answerFileDialog(again, QString());
    main()->commandAction(Command::Import)->trigger();
    EXPECT_EQ(canonical(again.directory), files);

    check();
    FileDialogAnswer exported;
    answerFileDialog(exported, QString());
    main()->commandAction(Command::ExportErrors)->trigger();
    EXPECT_EQ(exported.offeredName, q(u"调研报告.final-错误列表.xlsx"));
    EXPECT_EQ(canonical(exported.directory), files);

    EXPECT_TRUE(main()->close());
    m_startup.reset();
    start();
    FileDialogAnswer restarted;
    answerFileDialog(restarted, QString());
    main()->commandAction(Command::Import)->trigger();
    EXPECT_EQ(canonical(restarted.directory), files);
    // Before an import of this session the export offers the designed name.
    FileDialogAnswer plain;
    answerFileDialog(plain, QString());
    editor()->setPlainText(q(kText));
    check();
    main()->commandAction(Command::ExportErrors)->trigger();
    EXPECT_EQ(plain.offeredName, q(u"错误列表"));
    EXPECT_EQ(canonical(plain.directory), files);

    qputenv("HOME", oldHome);
    if (!oldConfig.isEmpty()) {
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }
}

// ---------------------------------------------------------------------------------------------
// 退出

TEST_F(EditorCommandTest, ExitWithOkEndsTheProgramWithCodeZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            start();
            whenModal<QMessageBox>([](QMessageBox* box) {
                if (box->text() == q(u"确定退出?")) {
                    box->button(QMessageBox::Ok)->click();
                }
            });
            QTimer::singleShot(0, [this] { main()->commandAction(Command::Exit)->trigger(); });
            const int code = QApplication::exec();
            std::_Exit(code == 0 && main()->isVisible() ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kjf::test
