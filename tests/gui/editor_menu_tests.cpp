// The editor's context menu with real widgets on the offscreen platform: adding the selection to
// the automatic dictionary, and the auto-learning window.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/proofreading_run.h"
#include "editor_command_fixture.h"
#include "learning/auto_learning_window.h"

namespace kjf::test {
namespace {

using namespace std::chrono_literals;

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

    // Over a paragraph break: the break becomes CR LF.
    cursor.setPosition(3);
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    editor()->setTextCursor(cursor);
    chooseFromEditorMenu(q(u"加入自动词库"));
    EXPECT_EQ(readBytes(autoDictionary()),
              std::string("\x4B\x6D\xD5\x8B\x0D\x00\x0A\x00", 8) + utf16le(u"试\r\n甲\r\n"));
    EXPECT_TRUE(m_messages.empty());
}

// Regression: with nothing selected "加入自动词库" appended an empty line and said "加入成功！".
TEST_F(EditorCommandTest, AddingNothingToTheAutomaticDictionaryIsRefused) {
    start();
    editor()->setPlainText(q(u"这是\n\u3000测试"));
    const std::string before = utf16le(u"测试\r\n");
    std::filesystem::create_directories(m_dir.file("data/user/auto"));
    writeBytes(autoDictionary(), before);
    QTextCursor cursor(editor()->document());
    editor()->setTextCursor(cursor);  // nothing selected
    chooseFromEditorMenu(q(u"加入自动词库"));
    cursor.setPosition(2);
    cursor.setPosition(4, QTextCursor::KeepAnchor);  // a paragraph break and a blank
    editor()->setTextCursor(cursor);
    chooseFromEditorMenu(q(u"加入自动词库"));
    EXPECT_EQ(readBytes(autoDictionary()), before);
    ASSERT_EQ(m_messages.size(), 2u);
    for (const auto& message : m_messages) {
        EXPECT_EQ(message.text, q(u"请先选中要加入自动词库的文字！"));
        EXPECT_EQ(message.icon, QMessageBox::Warning);
    }
    EXPECT_NE(status(), q(u"加入成功！"));
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

    // Closed and opened again: a fresh analysis of the same run, with the dictionaries loaded
    // again after the additions, so that 遍 now joins the added 检查一.
    window.close();
    main()->openAutoLearningWindow();
    ASSERT_TRUE(waitUntil([&] { return !window.analysisRunning(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->item(0, 0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list->item(2, rg_ZiDongXueXiChuangKou1::Group)->text(), q(u"检查一遍"));

    // The next check knows the added groups: only 遍 is left.
    window.close();
    check();
    EXPECT_EQ(status(), q(u"校对完毕，共检测出1个问题！"));
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
