// The dictionary editor, the automatic dictionary page, the reload when the settings window
// closes, and the settings and about windows opened from the main window, with real widgets on the
// offscreen platform against real files in a temporary program directory.
#include "settings_window_fixture.h"

namespace kjf::test {
namespace {

using namespace std::chrono_literals;

TEST_F(SettingsWindowTest, EditorChecksErrorEntriesAndSavesTheBoxAsWritten) {
    const std::string path = kindDirectory(m_dir, DictionaryKind::SystemError) + "e.dict";
    writeBytes(path, utf16le(u"再接再励$=$再接再厉\r\n\r\n  甲$=$乙  "));
    rg_BianJiCiKuChuangKou editor(path, DictionaryKind::SystemError);
    auto* box = child<DictionaryTextBox>(&editor, "textBox");
    QPushButton* save = button(&editor, "saveButton");
    EXPECT_EQ(editor.windowTitle(), q(u"编辑词库"));
    EXPECT_EQ(editor.size(), QSize(320, 480));
    EXPECT_EQ(box->toPlainText(), q(u"再接再励$=$再接再厉\n\n  甲$=$乙  "));
    int saves = 0;
    QObject::connect(&editor, &rg_BianJiCiKuChuangKou::saved, [&] { ++saves; });

    // Lines that loading would drop are refused too: nothing after "$=$", or a third piece.
    for (std::u16string_view bad :
         {u"$=$正词", u"错词=正词", u"错词$=$", u"坊鉴勘$=$勘鉴坊=KJF", u"甲$=$乙$=$丙"}) {
        box->setPlainText(q(u"错词$=$正词\n") + q(bad));
        QTest::mouseClick(save, Qt::LeftButton);
        expectMessage(m_answers.last(), QMessageBox::Critical,
                      u"格式（形如：错词$=$正词）错误，请检查后再保存！");
    }
    EXPECT_EQ(readBytes(path), utf16le(u"再接再励$=$再接再厉\r\n\r\n  甲$=$乙  "));
    EXPECT_EQ(saves, 0);

    box->setPlainText(q(u"错词 $=$ 对\n   \n错词$=$正词"));
    QTest::mouseClick(save, Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Information, u"保存成功！");
    EXPECT_EQ(readBytes(path), utf16le(u"错词 $=$ 对\r\n   \r\n错词$=$正词"));
    EXPECT_EQ(saves, 1);

    // A failed write says so and leaves the file whole.
    setWriteFaultInjectorForTesting([](std::string_view step) { return step == "rename"; });
    box->setPlainText(q(u"丙$=$丁"));
    QTest::mouseClick(save, Qt::LeftButton);
    setWriteFaultInjectorForTesting({});
    expectMessage(m_answers.last(), QMessageBox::Critical, u"保存失败！");
    EXPECT_EQ(readBytes(path), utf16le(u"错词 $=$ 对\r\n   \r\n错词$=$正词"));
    EXPECT_EQ(saves, 1);

    // Correct dictionaries are not checked; an empty box saves an empty file.
    const std::string correct = kindDirectory(m_dir, DictionaryKind::SystemCorrect) + "a.dict";
    rg_BianJiCiKuChuangKou correctEditor(correct, DictionaryKind::SystemCorrect);
    auto* correctBox = child<DictionaryTextBox>(&correctEditor, "textBox");
    QPushButton* correctSave = button(&correctEditor, "saveButton");
    correctBox->setPlainText(q(u"$=$x"));
    QTest::mouseClick(correctSave, Qt::LeftButton);
    EXPECT_EQ(readBytes(correct), utf16le(u"$=$x"));
    correctBox->clear();
    QTest::mouseClick(correctSave, Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Information, u"保存成功！");
    EXPECT_EQ(readBytes(correct), "");
}

// Regression: the box was read as plain text, which turns U+00A0 into a space and U+2028 into a
// line break, and every line end became CR LF, so "保存" without an edit changed the entries.
TEST_F(SettingsWindowTest, EditorSavesAnUneditedTextByteForByteAndKeepsCharactersOfAnEdit) {
    const std::string path = kindDirectory(m_dir, DictionaryKind::UserCorrect) + "u.dict";
    const std::u16string text = u"甲\u00A0乙\n丙\u2028丁\n戊\r己\r\n";
    writeBytes(path, utf16le(text));
    {
        rg_BianJiCiKuChuangKou editor(path, DictionaryKind::UserCorrect);
        QTest::mouseClick(button(&editor, "saveButton"), Qt::LeftButton);
        expectMessage(m_answers.last(), QMessageBox::Information, u"保存成功！");
        EXPECT_EQ(readBytes(path), utf16le(text));
    }
    // An edit keeps every character; lines end as the file's did (LF here).
    writeBytes(path, utf16le(u"甲\u00A0乙\n丙\u2028丁\n"));
    rg_BianJiCiKuChuangKou editor(path, DictionaryKind::UserCorrect);
    auto* box = child<DictionaryTextBox>(&editor, "textBox");
    QTextCursor end(box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(q(u"庚"));
    QTest::mouseClick(button(&editor, "saveButton"), Qt::LeftButton);
    EXPECT_EQ(readBytes(path), utf16le(u"甲\u00A0乙\n丙\u2028丁\n庚"));
}

TEST_F(SettingsWindowTest, EditorNeverSavesOverAFileItCouldNotReadWhole) {
    const std::string path = kindDirectory(m_dir, DictionaryKind::SystemCorrect) + "a.dict";
    const std::string cut = utf16le(u"文章\r\n") + std::string(2, '\0') + utf16le(u"写完\r\n");
    writeBytes(path, cut);
    rg_BianJiCiKuChuangKou editor(path, DictionaryKind::SystemCorrect);
    int saves = 0;
    QObject::connect(&editor, &rg_BianJiCiKuChuangKou::saved, [&] { ++saves; });
    child<DictionaryTextBox>(&editor, "textBox")->setPlainText(q(u"新词"));
    QTest::mouseClick(button(&editor, "saveButton"), Qt::LeftButton);
    EXPECT_EQ(m_answers.last().icon, QMessageBox::Critical);
    EXPECT_NE(m_answers.last().text, q(u"保存成功！"));
    EXPECT_EQ(readBytes(path), cut);
    EXPECT_EQ(saves, 0);
}

TEST_F(SettingsWindowTest, EditorAppendsTheFirstDroppedFile) {
    const std::string path = kindDirectory(m_dir, DictionaryKind::SystemCorrect) + "a.dict";
    writeBytes(m_dir.file("one.txt"), "甲\n乙");
    writeBytes(m_dir.file("two.txt"), "丙");
    rg_BianJiCiKuChuangKou editor(path, DictionaryKind::SystemCorrect);
    auto* box = child<DictionaryTextBox>(&editor, "textBox");
    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(QString::fromStdString(m_dir.file("one.txt"))),
                  QUrl::fromLocalFile(QString::fromStdString(m_dir.file("two.txt")))});
    ASSERT_TRUE(box->canInsertFromMimeData(&drop));
    box->insertFromMimeData(&drop);
    EXPECT_EQ(box->dictionaryText(), u"文章\r\n甲\r\n乙\r\n");
}

// Regression: a drop was read as UTF-8 (or UTF-16 after a mark) up to the first fault, so a
// .dict file added only its line ends, a GB18030 list nothing, and a list with one bad byte was
// cut off there, all without a word.
TEST_F(SettingsWindowTest, EditorDecodesADroppedFileAsADictionaryOrAWordList) {
    const std::string path = kindDirectory(m_dir, DictionaryKind::UserCorrect) + "u.dict";
    writeBytes(path, utf16le(u"文章\r\n"));
    rg_BianJiCiKuChuangKou editor(path, DictionaryKind::UserCorrect);
    auto* box = child<DictionaryTextBox>(&editor, "textBox");
    const auto drop = [&](const std::string& name, std::string_view bytes) {
        writeBytes(m_dir.file(name), bytes);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(m_dir.file(name)))});
        box->insertFromMimeData(&data);
    };
    const qsizetype messages = m_answers.messages.size();
    drop("other.dict", utf16le(u"甲\r\n乙\r\n"));
    drop("gbk.txt", "\xB1\xFB\r\n\xB6\xA1");  // 丙, 丁 in GB18030
    drop("utf8.txt", "\xEF\xBB\xBF戊\n己");   // 戊, 己 in UTF-8 with its mark
    EXPECT_EQ(box->dictionaryText(), u"文章\r\n甲\r\n乙\r\n\r\n丙\r\n丁\r\n戊\r\n己\r\n");
    EXPECT_EQ(m_answers.messages.size(), messages);

    // A file that decodes only in part is refused whole, and the box keeps its text.
    const std::u16string before = box->dictionaryText();
    for (const auto& [name, bytes] :
         {std::pair<std::string, std::string>{"bad.txt", "庚\n\xFF\x80\x80\xFF\n辛"},
          {"cut.dict", utf16le(u"壬\r\n") + std::string(2, '\0') + utf16le(u"癸\r\n")}}) {
        drop(name, bytes);
        EXPECT_EQ(box->dictionaryText(), before) << name;
        ASSERT_EQ(m_answers.messages.size(), messages + 1) << name;
        EXPECT_EQ(m_answers.last().icon, QMessageBox::Critical) << name;
        m_answers.messages.pop_back();
    }
}

TEST_F(SettingsWindowTest, EditorShowsAUtf8FileAndSavesItAsUtf16) {
    const std::string path = kindDirectory(m_dir, DictionaryKind::UserCorrect) + "u.dict";
    writeBytes(path, "坊鉴\n勘鉴坊\n");
    rg_BianJiCiKuChuangKou editor(path, DictionaryKind::UserCorrect);
    EXPECT_EQ(child<DictionaryTextBox>(&editor, "textBox")->toPlainText(), q(u"坊鉴\n勘鉴坊\n"));
    QTest::mouseClick(button(&editor, "saveButton"), Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Information, u"保存成功！");
    EXPECT_EQ(readBytes(path), utf16le(u"坊鉴\n勘鉴坊\n"));
}

TEST_F(SettingsWindowTest, EditButtonAndDoubleClickOpenTheSelectedFileAndSavingMarksAChange) {
    open();
    rg_CiKuSheZhi& page = listPage(rg_SheZhiChuangKou1::SystemCorrectItem);
    QPushButton* edit = button(&page, "editButton");
    QTest::mouseClick(edit, Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Warning, u"请选中一项后再操作！");

    selectRow(page, 2);
    QString shownText;
    QTimer::singleShot(0, [&] {
        auto* editor = qobject_cast<rg_BianJiCiKuChuangKou*>(QApplication::activeModalWidget());
        ASSERT_NE(editor, nullptr);
        auto* box = child<DictionaryTextBox>(editor, "textBox");
        shownText = box->toPlainText();
        box->setPlainText(q(u"写完\n之后"));
        editor->save();
        editor->reject();
    });
    QTest::mouseClick(edit, Qt::LeftButton);
    EXPECT_EQ(shownText, q(u"写完\n"));
    EXPECT_TRUE(m_window.dictionariesChanged());

    QTimer::singleShot(0, [&] {
        auto* editor = qobject_cast<rg_BianJiCiKuChuangKou*>(QApplication::activeModalWidget());
        ASSERT_NE(editor, nullptr);
        shownText = child<DictionaryTextBox>(editor, "textBox")->toPlainText();
        editor->reject();
    });
    listOf(page)->cellDoubleClicked(2, 2);
    EXPECT_EQ(shownText, q(u"写完\n之后"));
    m_window.reject();
    EXPECT_EQ(m_reloads, 1);
}

TEST_F(SettingsWindowTest, AutomaticPageOptimisesTheBoxAndSavesOnlyOnRequest) {
    const std::string path = m_dir.path() + "data/user/auto/auto.dict";
    writeBytes(path, utf16le(u"乙\r\n甲\r\n 乙\t\r\n"));
    open();
    m_window.selectItem(rg_SheZhiChuangKou1::AutomaticItem);
    rg_ZiDongCiKuZuJian* page = automaticPage();
    ASSERT_NE(page, nullptr);
    auto* box = child<DictionaryTextBox>(page, "textBox");
    QPushButton* optimise = button(page, "optimiseButton");
    QPushButton* save = button(page, "saveButton");
    EXPECT_EQ(box->toPlainText(), q(u"乙\n甲\n 乙\t\n"));
    // The resize rule, for the host's size.
    EXPECT_EQ(save->geometry(), QRect(490 - 80, 480 - 40, 70, 30));
    EXPECT_EQ(optimise->geometry(), QRect(490 - 160, 480 - 40, 70, 30));
    EXPECT_EQ(box->geometry(), QRect(10, 10, 490 - 20, 480 - 60));

    QTest::mouseClick(optimise, Qt::LeftButton);
    EXPECT_FALSE(save->isEnabled());  // saving now would write the text before the result
    ASSERT_TRUE(waitUntil([&] { return !m_answers.messages.empty(); }));
    expectMessage(m_answers.last(), QMessageBox::Information, u"优化完成！");
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(m_status.text(), q(u"优化完成！"));
    EXPECT_EQ(box->dictionaryText(), u"乙\r\n甲\r\n");
    EXPECT_FALSE(box->isReadOnly());
    EXPECT_EQ(readBytes(path), utf16le(u"乙\r\n甲\r\n 乙\t\r\n"));

    setWriteFaultInjectorForTesting([](std::string_view step) { return step == "write"; });
    QTest::mouseClick(save, Qt::LeftButton);
    setWriteFaultInjectorForTesting({});
    expectMessage(m_answers.last(), QMessageBox::Critical, u"修改失败！");
    EXPECT_EQ(readBytes(path), utf16le(u"乙\r\n甲\r\n 乙\t\r\n"));

    QTest::mouseClick(save, Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Information, u"保存成功！");
    EXPECT_EQ(readBytes(path), utf16le(u"乙\r\n甲\r\n"));

    // Empty box: optimise keeps it empty. The saved dictionary is loaded again, once, when the
    // window closes.
    box->clear();
    QTest::mouseClick(optimise, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !page->optimiseInProgress(); }));
    expectMessage(m_answers.last(), QMessageBox::Information, u"优化完成！");
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(readBytes(path), "");
    EXPECT_EQ(m_reloads, 0);
    m_window.reject();
    EXPECT_EQ(m_reloads, 1);
}

TEST_F(SettingsWindowTest, AutomaticPageReportsAMissingDirectoryAndKeepsAnUnreadableFile) {
    open();
    fs::remove_all(m_dir.path() + "data/user/auto");
    m_window.selectItem(rg_SheZhiChuangKou1::AutomaticItem);
    QTest::mouseClick(button(automaticPage(), "saveButton"), Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Critical, u"打开文件失败！");
    EXPECT_EQ(reasonOf(m_answers.last()), q(u"文件夹不存在"));

    fs::create_directories(m_dir.path() + "data/user/auto");
    const std::string path = m_dir.path() + "data/user/auto/auto.dict";
    const std::string cut = utf16le(u"甲\r\n") + std::string(2, '\0') + utf16le(u"乙\r\n");
    writeBytes(path, cut);
    m_window.selectItem(rg_SheZhiChuangKou1::BasicItem);
    m_window.selectItem(rg_SheZhiChuangKou1::AutomaticItem);
    QTest::mouseClick(button(automaticPage(), "saveButton"), Qt::LeftButton);
    EXPECT_EQ(m_answers.last().icon, QMessageBox::Critical);
    EXPECT_EQ(readBytes(path), cut);
}

TEST_F(SettingsWindowTest, ReloadsExactlyOnceAfterAChangeAndNeverWithoutOne) {
    open();
    listPage(rg_SheZhiChuangKou1::SystemCorrectItem);
    dictionaryListPage()->enableChecked();
    dictionaryListPage()->enableChecked();
    m_window.reject();
    EXPECT_EQ(m_reloads, 1);

    // Saving engine options is no dictionary change.
    open();
    EXPECT_FALSE(m_window.dictionariesChanged());
    QTest::mouseClick(button(basicPage(), "saveButton"), Qt::LeftButton);
    m_window.reject();
    EXPECT_EQ(m_reloads, 1);
    open();
    m_window.accept();
    EXPECT_EQ(m_reloads, 1);
}

// ---------------------------------------------------------------------------------------------
// Through the program: the tool-bar commands and the engine's reload.

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "c.dict", {u"文章", u"写完"});
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "d.dict", {u"之后"});
        EXPECT_TRUE(
            writeSetting(m_dir.path(), setting::kEngineSection, setting::kAutoQuantization, u"1"));
        EXPECT_TRUE(writeSetting(m_dir.path(), setting::kDictionarySection,
                                 enabledListKey(DictionaryKind::SystemCorrect), u"c.dict,"));
        m_startup = std::make_unique<rg_QiDongLei>(m_dir.path());
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout,
                         [this] { m_startup->welcomeWindow()->finish(0); });
        watchdog.start(10000);
        m_startup->startApplication();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main()));
    }

    void TearDown() override {
        if (m_startup && m_startup->progressWindow()->isVisible()) {
            m_startup->progressWindow()->done(0);
        }
        m_startup.reset();
    }

    rg_WoDeZhuChuangKou* main() const { return m_startup->mainWindow(); }
    QString status() const { return child<QLabel>(main(), "statusMessage")->text(); }

    // Presses "校对" and waits for the summary.
    QString check() {
        main()->commandAction(Command::Check)->trigger();
        waitUntil([&] { return status().startsWith(q(u"校对完毕")); });
        return status();
    }

    TempDir m_dir;
    Answers m_answers;
    std::unique_ptr<rg_QiDongLei> m_startup;
};

TEST_F(ProgramTest, EnablingADictionaryReachesTheNextRunStartedRightAfterClosing) {
    main()->editor()->setPlainText(q(u"文章写完之后"));
    EXPECT_EQ(check(), q(u"校对完毕，共检测出2个问题！"));

    rg_SheZhiChuangKou1* opened = nullptr;
    QTimer::singleShot(0, [&] {
        opened = qobject_cast<rg_SheZhiChuangKou1*>(QApplication::activeModalWidget());
        ASSERT_NE(opened, nullptr);
        opened->selectItem(rg_SheZhiChuangKou1::SystemCorrectItem);
        rg_CiKuSheZhi* page = child<rg_CiKuSheZhi>(opened, "dictionaryListPage");
        page->checkAll(true);
        page->enableChecked();
        opened->reject();
    });
    main()->commandAction(Command::DictionarySettings)->trigger();
    ASSERT_EQ(opened, &main()->settingsWindow());
    // No waiting for the reload: the run itself waits until the tables are filled again.
    EXPECT_EQ(check(), q(u"校对完毕，共检测出0个问题！"));

    // The same window at the next opening, with no change and so no reload.
    rg_SheZhiChuangKou1* again = nullptr;
    QTimer::singleShot(0, [&] {
        again = qobject_cast<rg_SheZhiChuangKou1*>(QApplication::activeModalWidget());
        if (again != nullptr) {
            again->reject();
        }
    });
    main()->commandAction(Command::DictionarySettings)->trigger();
    EXPECT_EQ(again, opened);
}

// The settings window reports through the status bar of the main window that opened it.
TEST_F(ProgramTest, SettingsPagesReportInTheMainWindowsStatusBar) {
    bool reported = false;
    QTimer::singleShot(0, [&] {
        auto* settings = qobject_cast<rg_SheZhiChuangKou1*>(QApplication::activeModalWidget());
        ASSERT_NE(settings, nullptr);
        settings->selectItem(rg_SheZhiChuangKou1::AutomaticItem);
        rg_ZiDongCiKuZuJian* page = child<rg_ZiDongCiKuZuJian>(settings, "automaticDictionaryPage");
        page->optimise();
        reported = waitUntil([&] { return !m_answers.messages.empty(); });
        settings->reject();
    });
    main()->commandAction(Command::DictionarySettings)->trigger();
    ASSERT_TRUE(reported);
    EXPECT_EQ(status(), q(u"优化完成！"));
}

TEST_F(ProgramTest, AboutBuildsAFreshWindowWithTheHelpTextEveryTime) {
    const QStringList lines = rg_GuanYuChuangKou::helpText().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 21);
    for (const QString& line : lines) {
        EXPECT_TRUE(line.startsWith(QStringLiteral("    ")) && line[4] != u' ')
            << line.toStdString();
    }
    EXPECT_EQ(lines[0], q(u"    一、开发背景"));
    EXPECT_EQ(lines[11], q(u"    "
                           u"6."
                           u"对确保正确，但标记出来的词，可选中该词，点击鼠标右键加入自动词库（重启"
                           u"软件加入的词生效）。"));
    EXPECT_EQ(lines[20], q(u"    "
                           u"用手机扫描左侧二维码，可反馈问题和提供好的建议。如果阁下能够提供日常错"
                           u"误或正确词库，增强工具能力，感激不尽！！！"));

    QPointer<rg_GuanYuChuangKou> first;
    QTimer::singleShot(0, [&] {
        first = qobject_cast<rg_GuanYuChuangKou*>(QApplication::activeModalWidget());
        ASSERT_TRUE(first);
        EXPECT_EQ(first->size(), QSize(422, 198));
        auto* title = child<QLabel>(first, "titleLabel");
        auto* picture = child<QLabel>(first, "pictureLabel");
        auto* help = child<QPlainTextEdit>(first, "helpBox");
        EXPECT_EQ(title->text(), q(u"勘鉴坊"));
        EXPECT_EQ(title->font().pointSize(), 16);
        EXPECT_FALSE(title->font().bold());
        EXPECT_FALSE(picture->pixmap().isNull());
        EXPECT_TRUE(picture->hasScaledContents());
        EXPECT_EQ(picture->geometry(), QRect(17, 68, 102, 102));
        EXPECT_FALSE(help->isReadOnly());
        EXPECT_EQ(help->document()->blockCount(), 21);
        help->setPlainText(QStringLiteral("edited"));
        first->reject();
    });
    main()->commandAction(Command::About)->trigger();
    EXPECT_TRUE(first.isNull());  // destroyed when it closed

    QString text;
    QTimer::singleShot(0, [&] {
        auto* second = qobject_cast<rg_GuanYuChuangKou*>(QApplication::activeModalWidget());
        ASSERT_NE(second, nullptr);
        text = child<QPlainTextEdit>(second, "helpBox")->toPlainText();
        second->reject();
    });
    main()->commandAction(Command::About)->trigger();
    EXPECT_EQ(text, lines.join(u'\n'));
}

}  // namespace
}  // namespace kjf::test
