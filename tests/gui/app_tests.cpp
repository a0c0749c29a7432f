// The desktop program with real widgets on the offscreen platform: start-up, a run with its marks,
// rows and summary, interrupting, clearing, jumping to a finding, the layout and the close query.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <QXmlStreamReader>
#include <atomic>
#include <chrono>
#include <cmath>
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
#include "resources/artwork.h"
#include "settings/settings_file.h"
#include "ui/message_box.h"
#include "ui/qt_translation.h"
#include "ui/splitter_bar.h"

namespace kjf::test {
namespace {

using namespace std::chrono_literals;

// 文章 写完 之后 are correct, 再接再励 is an error, 一 and 遍 are in no dictionary.
const std::u16string_view kText = u"文章写完之后再接再励检查一遍";
const QString kSummary3 = q(u"校对完毕，共检测出3个问题！");
constexpr auto kError = FindingType::Error;
constexpr auto kSuspected = FindingType::Suspected;

void writeSetup(const TempDir& dir, std::u16string_view correctList,
                std::u16string_view errorList) {
    using namespace setting;
    EXPECT_TRUE(writeSetting(dir.path(), kEngineSection, kEngineType, u"1"));
    EXPECT_TRUE(writeSetting(dir.path(), kEngineSection, kAutoQuantization, u"1"));
    EXPECT_TRUE(writeSetting(dir.path(), kEngineSection, kAccuracyBoost, u"0"));
    EXPECT_TRUE(writeSetting(dir.path(), kDictionarySection,
                             enabledListKey(DictionaryKind::SystemCorrect), correctList));
    EXPECT_TRUE(writeSetting(dir.path(), kDictionarySection,
                             enabledListKey(DictionaryKind::SystemError), errorList));
}

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "c.dict",
                        {u"文章", u"写完", u"之后", u"检查", u"错别字"});
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "c2.dict", {u"再接再励"});
        writeDictionary(m_dir, DictionaryKind::SystemError, "e.dict", {u"再接再励$=$再接再厉"});
        writeSetup(m_dir, u"c.dict", u"e.dict");
    }

    void TearDown() override {
        if (m_startup && m_startup->progressWindow()->isVisible()) {
            m_startup->progressWindow()->done(0);
        }
        m_startup.reset();
    }

    // Start-up as the program does it, with a watchdog that ends a welcome window that never
    // closes by itself.
    void start() {
        m_startup = std::make_unique<rg_QiDongLei>(m_dir.path());
        bool watchdogFired = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            watchdogFired = true;
            m_startup->welcomeWindow()->finish(0);
        });
        watchdog.start(10000);
        m_startup->startApplication();
        ASSERT_FALSE(watchdogFired) << "the welcome window did not close";
        main()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main()));
    }

    rg_WoDeZhuChuangKou* main() const { return m_startup->mainWindow(); }
    QTextEdit* editor() const { return main()->editor(); }
    ErrorListModel* list() const { return main()->errorList(); }
    QString status() const { return child<QLabel>(main(), "statusMessage")->text(); }
    QTableView* listView() const { return child<QTableView>(main(), "errorListView"); }
    QGroupBox* errorGroup() const { return child<QGroupBox>(main(), "errorGroup"); }
    QStatusBar* statusBar() const { return child<QStatusBar>(main(), "statusBar"); }
    QToolBar* toolBar() const { return child<QToolBar>(main(), "toolBar"); }
    rg_JinDuChuangKou* progress() const { return m_startup->progressWindow(); }
    void mark(std::vector<rg_BiaoJiCiYuLei> findings) { main()->markFindings(findings); }

    // Presses "校对" and returns when its progress window has closed. during, when given, runs
    // once inside the progress window's loop as soon as the window shows.
    void check(std::function<void()> during = {}) {
        EXPECT_FALSE(triggerThroughProgress(main()->commandAction(Command::Check),
                                            m_startup->progressWindow(), during, 10000))
            << "the progress window did not close";
    }

    QColor colourAt(int position) const {
        QTextCursor c(editor()->document());
        c.setPosition(position);
        c.setPosition(position + 1, QTextCursor::KeepAnchor);
        return c.charFormat().foreground().color();
    }
    bool hasColour(int position) const {
        QTextCursor c(editor()->document());
        c.setPosition(position);
        c.setPosition(position + 1, QTextCursor::KeepAnchor);
        return c.charFormat().hasProperty(QTextFormat::ForegroundBrush);
    }
    std::vector<QTextCharFormat> formats() const {
        std::vector<QTextCharFormat> out;
        QTextCursor c(editor()->document());
        for (int i = 0; i + 1 < editor()->document()->characterCount(); ++i) {
            c.setPosition(i);
            c.setPosition(i + 1, QTextCursor::KeepAnchor);
            out.push_back(c.charFormat());
        }
        return out;
    }

    TempDir m_dir;
    std::unique_ptr<rg_QiDongLei> m_startup;
};

TEST_F(AppTest, StartUpEndsInTheMainWindowWithWelcomeEvenWhenLoadingIsInstant) {
    TempDir empty;  // no setup.ini, no dictionaries: the loaders finish at once
    std::vector<ShownMessage> shown;
    setMessageAnswererForTesting([&](const ShownMessage& message) {
        shown.push_back(message);
        return QMessageBox::Ok;
    });
    m_startup = std::make_unique<rg_QiDongLei>(empty.path());
    QTimer watchdog;
    bool watchdogFired = false;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        watchdogFired = true;
        m_startup->welcomeWindow()->finish(0);
    });
    watchdog.start(10000);
    m_startup->startApplication();
    setMessageAnswererForTesting({});
    EXPECT_FALSE(watchdogFired);
    ASSERT_NE(main(), nullptr);
    EXPECT_TRUE(main()->isVisible());
    EXPECT_FALSE(m_startup->welcomeWindow()->isVisible());
    EXPECT_EQ(main()->windowTitle(), q(u"勘鉴坊 v1.3 build 20220721"));
    EXPECT_EQ(main()->size(), QSize(819, 614));
    // Nothing could be loaded: the window says so once, after it has appeared, instead of
    // checking nothing in silence later.
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(shown[0].text.startsWith(q(u"没有加载到任何词条"))) << shown[0].text.toStdString();
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("setup.ini")));
    EXPECT_EQ(status(), shown[0].text);
}

TEST_F(AppTest, WelcomeWindowClosesWhenLoadingEndedBeforeItAppeared) {
    m_startup = std::make_unique<rg_QiDongLei>(m_dir.path());
    m_startup->beginLoading();
    m_startup->engine().waitForLoading();
    ASSERT_TRUE(waitUntil([&] { return m_startup->statusText().text() == q(u"词库加载完毕！"); }));
    QTimer watchdog;
    bool watchdogFired = false;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        watchdogFired = true;
        m_startup->welcomeWindow()->done(1);
    });
    watchdog.start(10000);
    m_startup->showWelcome();
    EXPECT_FALSE(watchdogFired);
    // The label showed every file of the load; the last one is still there.
    const QString message = child<QLabel>(m_startup->welcomeWindow(), "messageLabel")->text();
    EXPECT_TRUE(message.startsWith(q(u"词库加载中->")));
    EXPECT_TRUE(message.endsWith(QStringLiteral(".dict")));
    m_startup->showMainWindow();
    EXPECT_EQ(status(), q(u"欢迎使用！"));
}

TEST_F(AppTest, MainWindowControls) {
    start();
    const QStringList captions = {q(u"导入"),     q(u"校对"), q(u"清除标记"), q(u"导出错误"),
                                  q(u"词库设置"), q(u"关于"), q(u"退出")};
    for (int i = 0; i < captions.size(); ++i) {
        QAction* action = main()->commandAction(static_cast<Command>(i));
        EXPECT_EQ(action->text(), captions[i]);
        EXPECT_TRUE(action->isEnabled());
        EXPECT_FALSE(action->icon().isNull());
    }
    EXPECT_EQ(toolBar()->iconSize(), QSize(24, 24));
    EXPECT_EQ(editor()->font().pointSize(), 14);
    EXPECT_EQ(editor()->font().family(), QApplication::font().family());
    EXPECT_EQ(errorGroup()->title(), q(u"错误列表"));
    const int widths[] = {50, 100, 100, 70};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(listView()->columnWidth(column), widths[column]);
        EXPECT_FALSE(listView()->isColumnHidden(column));
    }
    EXPECT_TRUE(listView()->isColumnHidden(ErrorListModel::Position));
    EXPECT_TRUE(listView()->isColumnHidden(ErrorListModel::Length));
    const QStringList headers = {q(u"序号"), q(u"错误"), q(u"建议"),
                                 q(u"类型"), q(u"位置"), q(u"长度")};
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(list()->headerData(column, Qt::Horizontal).toString(), headers[column]);
    }
    EXPECT_EQ(statusBar()->geometry().height(), 30);
    EXPECT_EQ(child<QLabel>(main(), "statusLabel")->text(), q(u"提示："));
}

TEST_F(AppTest, RunMarksErrorsRedAndSuspectedPinkListsThemAndReportsTheCount) {
    start();
    editor()->setPlainText(q(kText));
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == kSummary3; })) << status().toStdString();
    EXPECT_FALSE(m_startup->progressWindow()->isVisible());

    for (int i = 0; i < static_cast<int>(kText.size()); ++i) {
        if (i >= 6 && i <= 9) {
            EXPECT_EQ(colourAt(i), QColor(255, 0, 0)) << i;
        } else if (i == 12 || i == 13) {
            EXPECT_EQ(colourAt(i), QColor(255, 168, 255)) << i;
        } else {
            EXPECT_FALSE(hasColour(i)) << i;
        }
    }
    const auto& saved = main()->savedCharacters();
    ASSERT_EQ(saved.size(), 6u);
    EXPECT_EQ(saved[0].character, q(u"再"));
    EXPECT_EQ(saved[0].position, 6);
    EXPECT_EQ(saved[0].length, 1);
    EXPECT_FALSE(saved[0].format.hasProperty(QTextFormat::ForegroundBrush));

    ASSERT_EQ(list()->rowCount(), 3);
    const QStringList row0 = {"1", q(u"再接再励"), q(u"再接再厉"), q(u"错误"), "6", "4"};
    const QStringList row1 = {"2", q(u"一"), "", "", "12", "1"};
    const QStringList row2 = {"3", q(u"遍"), "", "", "13", "1"};
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(list()->cellText(0, column), row0[column]);
        EXPECT_EQ(list()->cellText(1, column), row1[column]);
        EXPECT_EQ(list()->cellText(2, column), row2[column]);
    }
    // At the end the selection is back at the start of the text.
    EXPECT_EQ(editor()->textCursor().position(), 0);
    EXPECT_FALSE(editor()->textCursor().hasSelection());
    EXPECT_EQ(child<QLabel>(progress(), "speedLabel")->text(), q(u"处理速度：0万字/小时"));
}

TEST_F(AppTest, PositionsCountParagraphBreaksAsOneCharacter) {
    start();
    editor()->setPlainText(q(u"文章写完\n之后再接再励"));
    EXPECT_EQ(documentText(*editor()->document()), u"文章写完\n之后再接再励");
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == q(u"校对完毕，共检测出1个问题！"); }));
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Position), "7");
    for (int i = 7; i <= 10; ++i) {
        EXPECT_EQ(colourAt(i), QColor(255, 0, 0)) << i;
    }
    EXPECT_FALSE(hasColour(6));
}

TEST_F(AppTest, BlanksAreNotListedAndInvisibleFindingsShowAsTokens) {
    start();
    editor()->setPlainText(q(u"文章 写完\u3000\t之后\u200B检查"));
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == q(u"校对完毕，共检测出1个问题！"); }))
        << status().toStdString();
    ASSERT_EQ(list()->rowCount(), 1);
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Word), q(u"\u200B"));
    EXPECT_EQ(list()->data(list()->index(0, ErrorListModel::Word)).toString(), "<U+200B>");
    EXPECT_EQ(list()->data(list()->index(0, ErrorListModel::Position)).toString(), "9");
    EXPECT_FALSE(hasColour(2));
}

TEST_F(AppTest, InterruptKeepsTheFindingsSoFar) {
    start();
    editor()->setPlainText(q(kText));
    std::atomic<bool> reached{false};
    std::atomic<bool> release{false};
    m_startup->proofreadingRun().setStepObserverForTesting(
        [&](ProofreadingRun::Step, std::int64_t position) {
            if (position == 12 && !reached.exchange(true)) {
                while (!release) {
                    std::this_thread::sleep_for(1ms);
                }
            }
        });
    check([&] {
        ASSERT_TRUE(waitUntil([&] { return reached.load(); }));
        child<QPushButton>(progress(), "interruptButton")->click();
        EXPECT_FALSE(m_startup->progressWindow()->isVisible());
        release = true;
    });
    // The step that was going on when the button was pressed still ends: 再接再励 and 一.
    ASSERT_TRUE(waitUntil([&] { return status() == q(u"校对完毕，共检测出2个问题！"); }))
        << status().toStdString();
    EXPECT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(colourAt(6), QColor(255, 0, 0));
    EXPECT_EQ(colourAt(12), QColor(255, 168, 255));
    EXPECT_FALSE(hasColour(13));
    EXPECT_EQ(main()->savedCharacters().size(), 5u);
}

// Regression: runCheck sets `running` as it starts, so an interrupt that came earlier (here while
// the run waits for a dictionary load) was lost and the whole text was checked in the background.
TEST_F(AppTest, InterruptBeforeTheScanStartsStillStopsIt) {
    start();
    editor()->setPlainText(q(kText));
    // Hold the tables so that the reload waits, and the run waits for the reload.
    auto reader = std::make_unique<rg_ChaCuoYinQing::TableReadGuard>(m_startup->engine());
    m_startup->engine().loadDictionaries();
    check([&] { child<QPushButton>(progress(), "interruptButton")->click(); });
    EXPECT_TRUE(m_startup->runInProgress());
    reader.reset();
    ASSERT_TRUE(waitUntil([&] { return !m_startup->runInProgress(); }));
    QTest::qWait(100);
    // The end of the reload and the run's summary race for the status bar; the findings tell.
    EXPECT_TRUE(m_startup->engine().findings().empty());
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_FALSE(hasColour(6));
}

TEST_F(AppTest, SecondRunRestoresTheFirstRunsMarksBeforeMarkingAgain) {
    start();
    editor()->setPlainText(q(kText));
    const auto before = formats();
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == kSummary3; }));

    // Now 再接再励 counts as correct: the second run must leave it unmarked.
    writeSetup(m_dir, u"c.dict,c2.dict", u"");
    m_startup->engine().loadDictionaries();
    ASSERT_TRUE(waitUntil([&] { return status() == q(u"词库加载完毕！"); }));
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == q(u"校对完毕，共检测出2个问题！"); }))
        << status().toStdString();
    for (int i = 6; i <= 9; ++i) {
        EXPECT_FALSE(hasColour(i)) << i;
    }
    EXPECT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Number), "1");
    ASSERT_EQ(main()->savedCharacters().size(), 2u);
    main()->commandAction(Command::ClearMarks)->trigger();
    EXPECT_EQ(formats(), before);
}

// Regression: a run started while the worker of a run continued in the background (progress
// window closed by its close button) had two threads marking and listing at once.
TEST_F(AppTest, NewRunStopsABackgroundRunFirst) {
    start();
    editor()->setPlainText(q(kText));
    const auto before = formats();
    std::atomic<bool> reached{false};
    std::atomic<bool> release{false};
    m_startup->proofreadingRun().setStepObserverForTesting(
        [&](ProofreadingRun::Step, std::int64_t position) {
            if (position == 12 && !reached.exchange(true)) {
                while (!release) {
                    std::this_thread::sleep_for(1ms);
                }
            }
        });
    check([&] {
        ASSERT_TRUE(waitUntil([&] { return reached.load(); }));
        m_startup->progressWindow()->reject();  // the close button: the run goes on
    });
    EXPECT_TRUE(m_startup->runInProgress());
    ASSERT_TRUE(waitUntil([&] { return list()->rowCount() == 1; }));
    release = true;
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == kSummary3; }));
    // The earlier run's summary must not come in late.
    QTest::qWait(100);
    EXPECT_EQ(status(), kSummary3);
    EXPECT_EQ(list()->rowCount(), 3);
    EXPECT_EQ(main()->savedCharacters().size(), 6u);
    main()->commandAction(Command::ClearMarks)->trigger();
    EXPECT_EQ(formats(), before);
}

TEST_F(AppTest, ClearMarksRestoresEveryFormatExactly) {
    start();
    editor()->setHtml(
        q(u"<p><span style=\"font-size:10.5pt\">文章写完之后</span>"
          u"<span style=\"font-size:10.5pt; font-weight:700\">再接</span>"
          u"<span style=\"font-style:italic; color:#0000ff\">再励</span>"
          u"<span style=\"text-decoration:underline\">检查</span>"
          u"<span style=\"font-family:serif; font-size:17.25pt\">一</span>遍</p>"));
    const QString html = editor()->toHtml();
    const auto before = formats();
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == kSummary3; }));
    QTextCursor c(editor()->document());
    c.setPosition(6);
    c.setPosition(7, QTextCursor::KeepAnchor);
    EXPECT_EQ(c.charFormat().fontPointSize(), 10.5);  // marking leaves the size alone
    EXPECT_TRUE(c.charFormat().font().bold());

    main()->commandAction(Command::ClearMarks)->trigger();
    EXPECT_EQ(status(), q(u"清除标记完成！"));
    EXPECT_EQ(formats(), before);
    EXPECT_EQ(editor()->toHtml(), html);
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_TRUE(main()->savedCharacters().empty());
    EXPECT_EQ(editor()->textCursor().position(), 0);

    // A character marked pink and then red in one run gets its first format back.
    mark({{kSuspected, 0, 1, u"文", u""}, {kError, 0, 2, u"文章", u"文彰"}});
    EXPECT_EQ(colourAt(0), QColor(255, 0, 0));
    main()->clearMarks();
    EXPECT_EQ(formats(), before);
    mark({{kSuspected, 3, 1, u"完", u"x"}});
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Number), "1");
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Suggestion), "");
}

TEST_F(AppTest, MarkFindingCases) {
    start();
    editor()->setPlainText(q(u"一二三四五六七八九十甲乙丙丁"));
    mark({{FindingType::Correct, 0, 3, u"一二三", u""}});
    EXPECT_TRUE(main()->savedCharacters().empty());
    EXPECT_EQ(list()->rowCount(), 0);

    mark({{kError, 10, 3, u"甲乙丙", u"丁"}});
    EXPECT_EQ(main()->savedCharacters().size(), 3u);
    for (int i = 10; i <= 12; ++i) {
        EXPECT_EQ(colourAt(i), QColor(255, 0, 0));
    }
    EXPECT_FALSE(hasColour(13));
    // Length 0 adds the row and colours nothing; an empty word adds nothing.
    mark({{kSuspected, 5, 0, u"六", u""}, {kSuspected, 6, 1, u"", u""}});
    EXPECT_EQ(list()->rowCount(), 2);
    EXPECT_FALSE(hasColour(5));
    // Beyond the end of the text: nothing to colour, nothing to restore, no crash.
    mark({{kSuspected, 500, 2, u"外", u""}});
    main()->clearMarks();
    EXPECT_FALSE(hasColour(10));
}

TEST_F(AppTest, DoubleClickSelectsTheFindingAndFocusesTheEditor) {
    start();
    editor()->setPlainText(q(kText));
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == kSummary3; }));
    QTableView* view = listView();
    view->setFocus();
    ASSERT_EQ(main()->focusWidget(), view);
    const QRect row = view->visualRect(list()->index(0, 1));
    // The events a window system delivers for a double-click.
    const QPointF at = row.center();
    const QPointF global = view->viewport()->mapToGlobal(at);
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                            QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, at, global, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
    }
    EXPECT_EQ(editor()->textCursor().selectionStart(), 6);
    EXPECT_EQ(editor()->textCursor().selectionEnd(), 10);
    // The window's focus child; offscreen, the window need not be the active one.
    EXPECT_EQ(main()->focusWidget(), editor());
}

TEST_F(AppTest, JumpTakesTheFirstSelectedRowAndTheStartWithoutOne) {
    start();
    editor()->setPlainText(q(kText));
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == kSummary3; }));
    QTableView* view = listView();
    // Rows 3 (遍 at 13) and 2 (一 at 12) selected, in that order: the earlier row counts.
    const auto rows = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    view->selectionModel()->select(list()->index(2, 0), rows);
    view->selectionModel()->select(list()->index(1, 0), rows);
    main()->jumpToFinding();
    EXPECT_EQ(editor()->textCursor().selectionStart(), 12);
    EXPECT_EQ(editor()->textCursor().selectionEnd(), 13);

    view->clearSelection();
    view->setFocus();
    main()->jumpToFinding();
    EXPECT_EQ(editor()->textCursor().selectionStart(), 0);
    EXPECT_EQ(editor()->textCursor().selectionEnd(), 0);
    EXPECT_EQ(main()->focusWidget(), editor());
}

TEST_F(AppTest, SplitterDragAndResizeFollowTheLayoutRules) {
    start();
    const int top = toolBar()->height();
    const int height = 614 - 30 - top - 5;
    SplitterBar* bar = child<SplitterBar>(main(), "splitter");
    EXPECT_EQ(bar->geometry(), QRect(519, top, 10, height));
    EXPECT_EQ(editor()->geometry(), QRect(3, top, 516, height));
    EXPECT_EQ(errorGroup()->geometry(), QRect(532, top, 284, height));
    EXPECT_EQ(listView()->geometry(), QRect(3, 20, 278, height - 20));
    EXPECT_EQ(statusBar()->geometry(), QRect(0, 614 - 30, 819, 30));

    const QPointF grip(5, 50);
    QMouseEvent press(QEvent::MouseButtonPress, grip, bar->mapToGlobal(grip), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
    const QPointF moved(5 - 100, 80);
    QMouseEvent move(QEvent::MouseMove, moved, bar->mapToGlobal(moved), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, moved, bar->mapToGlobal(moved), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &release);
    EXPECT_EQ(bar->geometry(), QRect(419, top, 10, height));
    EXPECT_EQ(editor()->geometry(), QRect(3, top, 416, height));
    EXPECT_EQ(errorGroup()->geometry(), QRect(432, top, 384, height));

    main()->resize(900, 600);
    const int newHeight = 600 - 30 - top - 5;
    EXPECT_EQ(bar->geometry(), QRect(600, top, 10, newHeight));
    EXPECT_EQ(editor()->geometry(), QRect(3, top, 597, newHeight));
    EXPECT_EQ(errorGroup()->geometry(), QRect(613, top, 284, newHeight));
}

TEST_F(AppTest, CancelInTheCloseQueryChangesNothing) {
    start();
    editor()->setPlainText(q(kText));
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == kSummary3; }));
    const QString html = editor()->toHtml();
    QString question;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        question = box->text();
        caption = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_FALSE(main()->close());
    EXPECT_EQ(question, q(u"确定退出?"));
    EXPECT_EQ(caption, q(u"提示"));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_TRUE(main()->isVisible());
    EXPECT_EQ(editor()->toHtml(), html);
    EXPECT_EQ(list()->rowCount(), 3);

    // "退出" asks the same question; Cancel leaves everything as it was.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Cancel)->click();
    });
    main()->commandAction(Command::Exit)->trigger();
    EXPECT_TRUE(main()->isVisible());
    EXPECT_EQ(list()->rowCount(), 3);
}

TEST_F(AppTest, StatusTextFromAnotherThreadBeforeAndAfterTheMainWindowExists) {
    m_startup = std::make_unique<rg_QiDongLei>(m_dir.path());
    StatusText& sink = m_startup->statusText();
    std::thread([&sink] { sink.set(QStringLiteral("early")); }).join();
    EXPECT_EQ(sink.text(), "early");
    m_startup->showMainWindow();
    EXPECT_EQ(status(), q(u"欢迎使用！"));
    std::thread([&sink] { sink.set(QStringLiteral("late")); }).join();
    EXPECT_TRUE(waitUntil([&] { return status() == "late"; }));
}

// Qt's own texts (standard buttons, the file dialogs, the editors' context menus) are Chinese like
// the program's; the translation comes from the qt6-translations-l10n package.
TEST(QtTranslation, StandardButtonsAndFileDialogsSpeakChinese) {
    QTranslator* translator = installQtTranslation(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "qtbase_zh_CN.qm is missing: install qt6-translations-l10n";
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Ok)->text(), q(u"确定"));
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), q(u"取消"));
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_EQ(dialog.labelText(QFileDialog::FileName), q(u"文件名称(&N)："));
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);
    // Back to English for the other tests of this process.
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(QLocale::system());
}

// On a screen of twice the density the tool bar shows images drawn at that density, not the
// ordinary ones enlarged.
TEST(Artwork, ToolBarImagesAreDrawnForTwiceTheDensity) {
    for (int index = 0; index < kToolBarImageCount; ++index) {
        const QPixmap dense = toolBarIcon(index).pixmap(QSize(24, 24), 2.0);
        ASSERT_EQ(dense.size(), QSize(48, 48)) << index;
        EXPECT_EQ(dense.devicePixelRatio(), 2.0) << index;
        EXPECT_EQ(dense.toImage().convertToFormat(QImage::Format_ARGB32),
                  toolBarStrip(2)
                      .copy(index * 48, 0, 48, 48)
                      .toImage()
                      .convertToFormat(QImage::Format_ARGB32))
            << index;
        EXPECT_EQ(toolBarIcon(index).pixmap(QSize(24, 24), 1.0).size(), QSize(24, 24)) << index;
    }
}

// The SVG icon is the picture of the PNG icons: its paths, drawn again, cover the same pixels.
TEST(Artwork, TheScalableIconDrawsLikeThePixelIcons) {
    ASSERT_TRUE(applicationIconHasGlyph()) << "no font with 勘: install fonts-wqy-microhei";
    const QImage expected = applicationIconImage(256);
    ASSERT_EQ(expected.size(), QSize(256, 256));

    QImage drawn(256, 256, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::Antialiasing);
    QXmlStreamReader svg(applicationIconSvg());
    int paths = 0;
    while (svg.readNextStartElement()) {
        if (svg.name() != QLatin1String("path")) {
            continue;
        }
        const auto a = svg.attributes();
        // Only what the writer uses: absolute M, L and C with their numbers.
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        const QStringList tokens = a.value(QLatin1String("d"))
                                       .toString()
                                       .replace(QRegularExpression("([MLC])"), " \\1 ")
                                       .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QChar command;
        QList<qreal> numbers;
        const auto flush = [&] {
            if (command == u'M' && numbers.size() == 2) {
                path.moveTo(numbers[0], numbers[1]);
            } else if (command == u'L' && numbers.size() == 2) {
                path.lineTo(numbers[0], numbers[1]);
            } else if (command == u'C' && numbers.size() == 6) {
                path.cubicTo(numbers[0], numbers[1], numbers[2], numbers[3], numbers[4],
                             numbers[5]);
            } else if (!command.isNull()) {
                ADD_FAILURE() << "bad path data at " << command.toLatin1();
            }
            numbers.clear();
        };
        for (const QString& token : tokens) {
            if (token.size() == 1 && token.front().isLetter()) {
                flush();
                command = token.front();
            } else {
                numbers.append(token.toDouble());
            }
        }
        flush();
        const QColor fill(a.value(QLatin1String("fill")).toString());
        if (a.hasAttribute(QLatin1String("stroke"))) {
            painter.setPen(QPen(QColor(a.value(QLatin1String("stroke")).toString()),
                                a.value(QLatin1String("stroke-width")).toDouble(), Qt::SolidLine,
                                Qt::RoundCap, Qt::RoundJoin));
        } else {
            painter.setPen(Qt::NoPen);
        }
        painter.setBrush(fill);
        painter.drawPath(path);
        ++paths;
        svg.skipCurrentElement();
    }
    painter.end();
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
    EXPECT_EQ(paths, 2);
    int different = 0;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const QColor a = expected.pixelColor(x, y);
            const QColor b = drawn.pixelColor(x, y);
            if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                    std::abs(a.blue() - b.blue()) + std::abs(a.alpha() - b.alpha()) >
                48) {
                ++different;
            }
        }
    }
    // Rounding to two decimals moves an edge by far less than a pixel.
    EXPECT_LT(different, 256 * 256 / 500);
}

}  // namespace
}  // namespace kjf::test
