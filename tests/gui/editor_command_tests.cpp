// The main window's editor commands with real widgets on the offscreen platform: import through
// the file dialog and by dropping files, the editor's context menu and the automatic dictionary,
// the workbook export, "退出", and the auto-learning window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/document_text.h"
#include "app/error_list_model.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app/proofreading_run.h"
#include "app/startup.h"
#include "app/welcome_window.h"
#include "engine_support.h"
#include "gui_test_support.h"
#include "learning/auto_learning_window.h"
#include "settings/settings_file.h"
#include "ui/file_dialog.h"
#include "ui/file_manager.h"
#include "ui/message_box.h"
#include "zip_support.h"

namespace kjf::test {
namespace {

using namespace std::chrono_literals;

// Runs act once the next modal widget of type T is up (or fails the test after a while).
template <typename T>
void whenModal(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, started, act] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(widget);
        } else if (started->elapsed() > 10000) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className();
        }
    });
    timer->start(5);
}

// Types path into a file dialog and accepts it, or cancels it when path is empty. The filters
// and the file name the dialog offered are kept.
struct FileDialogAnswer {
    QStringList filters;
    QString offeredName;
    QString defaultSuffix;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    bool shown = false;
};
void answerFileDialog(FileDialogAnswer& answer, const QString& path) {
    whenModal<QFileDialog>([&answer, path](QFileDialog* dialog) {
        answer.shown = true;
        answer.filters = dialog->nameFilters();
        answer.defaultSuffix = dialog->defaultSuffix();
        answer.mode = dialog->acceptMode();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name != nullptr) {
            answer.offeredName = name->text();
        }
        if (path.isEmpty() || name == nullptr) {
            dialog->reject();
            return;
        }
        name->setText(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// 文章 写完 之后 检查 are correct, 再接再励 is an error, 一 and 遍 are in no dictionary.
const std::u16string_view kText = u"文章写完之后再接再励检查一遍";

class EditorCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        using namespace setting;
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "c.dict",
                        {u"文章", u"写完", u"之后", u"检查"});
        writeDictionary(m_dir, DictionaryKind::SystemError, "e.dict", {u"再接再励$=$再接再厉"});
        EXPECT_TRUE(writeSetting(m_dir.path(), kEngineSection, kEngineType, u"1"));
        EXPECT_TRUE(writeSetting(m_dir.path(), kEngineSection, kAutoQuantization, u"1"));
        EXPECT_TRUE(writeSetting(m_dir.path(), kEngineSection, kAccuracyBoost, u"0"));
        EXPECT_TRUE(writeSetting(m_dir.path(), kDictionarySection,
                                 enabledListKey(DictionaryKind::SystemCorrect), u"c.dict"));
        EXPECT_TRUE(writeSetting(m_dir.path(), kDictionarySection,
                                 enabledListKey(DictionaryKind::SystemError), u"e.dict"));
        setMessageAnswererForTesting([this](const ShownMessage& message) {
            m_messages.push_back(message);
            return m_answer;
        });
        setRevealHandlerForTesting([this](const QString& path) { m_revealed.push_back(path); });
    }

    void TearDown() override {
        m_startup.reset();
        setMessageAnswererForTesting({});
        setRevealHandlerForTesting({});
    }

    void start() {
        m_startup = std::make_unique<rg_QiDongLei>(m_dir.path());
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout,
                         [&] { m_startup->welcomeWindow()->finish(0); });
        watchdog.start(10000);
        m_startup->startApplication();
        main()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main()));
    }

    // Presses "校对" and returns once the run has ended and its summary is shown.
    void check() {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout,
                         [&] { m_startup->progressWindow()->done(0); });
        watchdog.start(10000);
        main()->commandAction(Command::Check)->trigger();
        ASSERT_TRUE(waitUntil([&] { return status().startsWith(q(u"校对完毕")); }));
    }

    // Right-clicks the editor and chooses the menu item caption; returns the captions of the
    // program's own items, above the first separator (the others go to m_editingItems).
    QStringList chooseFromEditorMenu(const QString& caption, QString* title = nullptr) {
        QStringList captions;
        m_editingItems.clear();
        bool allEnabled = true;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return;
            }
            poll.stop();
            if (title != nullptr) {
                *title = menu->title();
            }
            QAction* chosen = nullptr;
            bool own = true;  // the program's items come first, the usual editing ones after
            for (QAction* action : menu->actions()) {
                if (action->isSeparator()) {
                    own = false;
                    continue;
                }
                if (own) {
                    captions.push_back(action->text());
                    allEnabled = allEnabled && action->isEnabled();
                } else {
                    m_editingItems.push_back(action->text());
                }
                if (action->text() == caption) {
                    chosen = action;
                }
            }
            menu->close();
            if (chosen != nullptr) {
                chosen->trigger();
            }
        });
        poll.start(5);
        const QPoint local(20, 20);
        QContextMenuEvent event(QContextMenuEvent::Mouse, local,
                                editor()->viewport()->mapToGlobal(local));
        QApplication::sendEvent(editor()->viewport(), &event);
        EXPECT_TRUE(allEnabled);
        return captions;
    }

    void importThroughDialog(const std::string& file, FileDialogAnswer& answer) {
        answerFileDialog(answer, QString::fromStdString(file));
        main()->commandAction(Command::Import)->trigger();
    }

    std::vector<QString> messageTexts() const {
        std::vector<QString> texts;
        for (const auto& m : m_messages) {
            texts.push_back(m.text);
        }
        return texts;
    }
    bool shown(std::u16string_view text) const {
        for (const auto& m : m_messages) {
            if (m.text == q(text)) {
                return true;
            }
        }
        return false;
    }

    rg_WoDeZhuChuangKou* main() const { return m_startup->mainWindow(); }
    QTextEdit* editor() const { return main()->editor(); }
    QString status() const { return child<QLabel>(main(), "statusMessage")->text(); }
    std::u16string editorText() const { return documentText(*editor()->document()); }
    std::string autoDictionary() const { return m_dir.file("data/user/auto/auto.dict"); }
    // A file where the automatic dictionary's folder belongs: nothing can be written below it.
    void blockAutomaticDictionary() const {
        std::filesystem::create_directories(m_dir.file("data/user"));
        writeBytes(m_dir.file("data/user/auto"), "not a directory");
        ASSERT_TRUE(std::filesystem::is_regular_file(m_dir.file("data/user/auto")));
    }

    TempDir m_dir;
    TempDir m_files;  // files to import and export, outside the program directory
    std::unique_ptr<rg_QiDongLei> m_startup;
    std::vector<ShownMessage> m_messages;
    std::vector<QString> m_editingItems;  // the editor menu's items below its first separator
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
    std::vector<QString> m_revealed;
};

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

TEST_F(EditorCommandTest, ImportReplacesTheTextThroughTheClipboardAndSaysSo) {
    start();
    editor()->setPlainText(QStringLiteral("old text"));
    // UTF-8 with CR LF and a lone CR: each line break is one break in the editor.
    const std::string file = m_files.file("a.txt");
    writeBytes(file, "\xE4\xB8\xAD\xE6\x96\x87\r\nabc\rdef");

    FileDialogAnswer answer;
    importThroughDialog(file, answer);
    ASSERT_TRUE(answer.shown);
    EXPECT_EQ(answer.filters, (QStringList{q(u"文本文件(*.txt)"), q(u"Office文件(*.docx)"),
                                           q(u"Office文件(*.doc)")}));
    EXPECT_EQ(answer.mode, QFileDialog::AcceptOpen);
    EXPECT_EQ(editorText(), u"中文\nabc\ndef");
    EXPECT_EQ(QApplication::clipboard()->text(), q(u"中文\nabc\ndef"));
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
    EXPECT_EQ(messageTexts(), std::vector<QString>{q(u"导入成功！")});
}

// ---------------------------------------------------------------------------------------------
// The context menu and the automatic dictionary

TEST_F(EditorCommandTest, ContextMenuAddsTheSelectionToTheAutomaticDictionaryByteForByte) {
    start();
    editor()->setPlainText(q(u"这是测试\n甲乙"));
    QString title;
    QTextCursor cursor(editor()->document());
    cursor.setPosition(2);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    editor()->setTextCursor(cursor);

    // No auto.dict and no data/user/auto yet: both are made.
    EXPECT_EQ(chooseFromEditorMenu(q(u"加入自动词库"), &title),
              (QStringList{q(u"加入自动词库"), q(u"自动学习")}));
    EXPECT_EQ(title, q(u"超级列表框菜单"));
    // Below a separator, the editing commands every rich-text editor offers.
    EXPECT_EQ(m_editingItems, (std::vector<QString>{q(u"撤销"), q(u"重做"), q(u"剪切"), q(u"复制"),
                                                    q(u"粘贴"), q(u"全选")}));
    EXPECT_EQ(readBytes(autoDictionary()), std::string("\x4B\x6D\xD5\x8B\x0D\x00\x0A\x00", 8));
    EXPECT_EQ(status(), q(u"加入成功！"));

    // Nothing selected: an empty line. Over a paragraph break: the break becomes CR LF.
    editor()->setTextCursor(QTextCursor(editor()->document()));
    chooseFromEditorMenu(q(u"加入自动词库"));
    cursor.setPosition(3);
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    editor()->setTextCursor(cursor);
    chooseFromEditorMenu(q(u"加入自动词库"));
    EXPECT_EQ(readBytes(autoDictionary()), std::string("\x4B\x6D\xD5\x8B\x0D\x00\x0A\x00", 8) +
                                               utf16le(u"\r\n") + utf16le(u"试\r\n甲\r\n"));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(EditorCommandTest, AddingToAnAutomaticDictionaryThatCannotBeWrittenSaysSo) {
    start();
    blockAutomaticDictionary();
    editor()->setPlainText(QStringLiteral("abc"));
    editor()->selectAll();
    chooseFromEditorMenu(q(u"加入自动词库"));
    EXPECT_NE(status(), q(u"加入成功！"));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(m_messages[0].text.contains(QStringLiteral("auto.dict")));
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

// ---------------------------------------------------------------------------------------------
// Auto-learning

TEST_F(EditorCommandTest, AutoLearningListsGroupsSelectsThemAndAddsTheTickedOnes) {
    start();
    editor()->setPlainText(q(kText));
    check();
    EXPECT_EQ(chooseFromEditorMenu(q(u"自动学习")).size(), 2);
    rg_ZiDongXueXiChuangKou1& window = main()->autoLearningWindow();
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), q(u"自动分析结果"));
    EXPECT_EQ(window.size(), QSize(370, 480));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(child<QGroupBox>(&window, "wordGroupBox")->title(), q(u"自动分析词组列表"));
    QPushButton* add = child<QPushButton>(&window, "addButton");
    EXPECT_EQ(add->text(), q(u"选中加入自动词库"));
    EXPECT_EQ(child<QLabel>(&window, "hintLabel")->text(),
              q(u"请选中组词合理的记录并加入自动词库，下次可准确识别。"));
    QTableWidget* list = child<QTableWidget>(&window, "wordGroupList");
    const char16_t* titles[] = {u"序号", u"源字", u"组词", u"起始位置", u"长度"};
    const int widths[] = {50, 50, 100, 100};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(list->horizontalHeaderItem(c)->text(), q(titles[c]));
        if (c < 4) {
            EXPECT_EQ(list->columnWidth(c), widths[c]);
        }
    }
    EXPECT_TRUE(list->isColumnHidden(4));

    ASSERT_TRUE(waitUntil([&] { return !window.analysisRunning(); }));
    QCoreApplication::processEvents();
    // 之后 before 再接再励 and 检查 before 一; 遍 has no neighbour that is a word.
    ASSERT_EQ(list->rowCount(), 2);
    const QString expected[2][5] = {{"1", q(u"再接再励"), q(u"之后再接再励"), "4", "6"},
                                    {"2", q(u"一"), q(u"检查一"), "10", "3"}};
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 5; ++c) {
            EXPECT_EQ(list->item(r, c)->text(), expected[r][c]) << r << "," << c;
        }
        EXPECT_EQ(list->item(r, 0)->checkState(), Qt::Unchecked);
        EXPECT_TRUE(list->item(r, 1)->textAlignment() & Qt::AlignHCenter);
        EXPECT_TRUE(list->item(r, 3)->textAlignment() & Qt::AlignHCenter);
    }

    // Opening again while it is open: the same window, the same rows, no new analysis.
    main()->openAutoLearningWindow();
    EXPECT_FALSE(window.analysisRunning());
    EXPECT_EQ(list->rowCount(), 2);
    EXPECT_EQ(main()->findChildren<rg_ZiDongXueXiChuangKou1*>().size(), 1);

    // A row click selects the group in the editor and gives the editor the focus.
    const QRect cell = list->visualRect(list->model()->index(1, 2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(editor()->textCursor().selectedText(), q(u"检查一"));
    EXPECT_EQ(main()->focusWidget(), editor());

    // Cancel writes nothing; OK appends the ticked groups in list order, twice when asked twice.
    list->item(0, 0)->setCheckState(Qt::Checked);
    list->item(1, 0)->setCheckState(Qt::Checked);
    m_answer = QMessageBox::Cancel;
    add->click();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(autoDictionary())));
    m_answer = QMessageBox::Ok;
    add->click();
    add->click();
    EXPECT_EQ(readBytes(autoDictionary()),
              utf16le(u"之后再接再励\r\n检查一\r\n之后再接再励\r\n检查一\r\n"));
    ASSERT_EQ(m_messages.size(), 5u);
    EXPECT_EQ(m_messages[0].text, q(u"确定要把选中的加入自动词库吗？"));
    EXPECT_EQ(m_messages[0].caption, q(u"提示"));
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Question);
    EXPECT_EQ(m_messages[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(m_messages[2].text, q(u"保存成功！"));
    EXPECT_EQ(m_messages[2].caption, q(u"提示"));
    EXPECT_EQ(m_messages[2].icon, QMessageBox::Information);

    // Closed and opened again: a fresh analysis of the same run gives the same rows.
    window.close();
    main()->openAutoLearningWindow();
    ASSERT_TRUE(waitUntil([&] { return !window.analysisRunning(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(0, 0)->checkState(), Qt::Unchecked);
}

TEST_F(EditorCommandTest, AutoLearningThatCannotSaveSaysSoAndAnEmptyRunListsNothing) {
    start();
    // No run yet: nothing to analyse.
    main()->openAutoLearningWindow();
    rg_ZiDongXueXiChuangKou1& window = main()->autoLearningWindow();
    ASSERT_TRUE(waitUntil([&] { return !window.analysisRunning(); }));
    QCoreApplication::processEvents();
    QTableWidget* list = child<QTableWidget>(&window, "wordGroupList");
    EXPECT_EQ(list->rowCount(), 0);

    blockAutomaticDictionary();
    window.addGroupRow(q(u"一"), q(u"检查一"), 10);
    list->item(0, 0)->setCheckState(Qt::Checked);
    child<QPushButton>(&window, "addButton")->click();
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[1].icon, QMessageBox::Warning);
    EXPECT_NE(m_messages[1].text, q(u"保存成功！"));
}

TEST_F(EditorCommandTest, ClosingOrEndingWhileTheAnalysisRunsIsSafe) {
    start();
    editor()->setPlainText(q(kText));
    check();
    std::atomic<int> requests{0};
    m_startup->proofreadingRun().setStepObserverForTesting(
        [&](ProofreadingRun::Step, std::int64_t) {
            ++requests;
            std::this_thread::sleep_for(40ms);
        });
    rg_ZiDongXueXiChuangKou1& window = main()->autoLearningWindow();
    main()->openAutoLearningWindow();
    ASSERT_TRUE(window.analysisRunning());
    window.close();
    // Reopened while the first analysis runs: no second one; the new list gets only what the
    // running one still finds, numbered from 1.
    main()->openAutoLearningWindow();
    ASSERT_TRUE(waitUntil([&] { return !window.analysisRunning(); }));
    QCoreApplication::processEvents();
    QTableWidget* list = child<QTableWidget>(&window, "wordGroupList");
    for (int r = 0; r < list->rowCount(); ++r) {
        EXPECT_EQ(list->item(r, 0)->text(), QString::number(r + 1));
    }
    EXPECT_LE(list->rowCount(), 2);

    // A new check stops a running analysis first; the program's end stops another.
    window.close();
    main()->openAutoLearningWindow();
    ASSERT_TRUE(window.analysisRunning());
    check();
    EXPECT_FALSE(window.analysisRunning());
    window.close();
    main()->openAutoLearningWindow();
    ASSERT_TRUE(window.analysisRunning());
    m_startup.reset();
    EXPECT_GT(requests.load(), 0);
}

}  // namespace
}  // namespace kjf::test
