// Marking and listing with real widgets on the offscreen platform: a run's marks, rows and
// summary, interrupting, clearing, jumping to a finding, marks outside the undo history, and the
// findings of a run that goes on in the background while the user edits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/document_text.h"
#include "app/proofreading_run.h"
#include "app_fixture.h"
#include "ui/message_box.h"

namespace kjf::test {
namespace {

using namespace std::chrono_literals;

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
    // One mark per finding, drawn over the text: the document's own formats stay as they were.
    const auto& marks = main()->marks().marks();
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[0].position, 6);
    EXPECT_EQ(marks[0].length, 4);
    EXPECT_EQ(marks[0].type, kError);
    EXPECT_EQ(marks[2].position, 13);
    EXPECT_EQ(marks[2].type, kSuspected);
    EXPECT_EQ(markedCharacters(), 6u);
    for (int i = 0; i < static_cast<int>(kText.size()); ++i) {
        EXPECT_FALSE(documentColours(editor(), i)) << i;
    }
    EXPECT_FALSE(editor()->document()->isUndoAvailable());

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
    EXPECT_EQ(markedCharacters(), 5u);
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
    ASSERT_EQ(markedCharacters(), 2u);
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
    EXPECT_EQ(markedCharacters(), 6u);
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
    // The mark is drawn over a colour of the text's own, which stays in the document.
    c.setPosition(8);
    c.setPosition(9, QTextCursor::KeepAnchor);
    EXPECT_EQ(colourAt(8), QColor(255, 0, 0));
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(0, 0, 255));

    main()->commandAction(Command::ClearMarks)->trigger();
    EXPECT_EQ(status(), q(u"清除标记完成！"));
    EXPECT_EQ(formats(), before);
    EXPECT_EQ(editor()->toHtml(), html);
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_TRUE(main()->marks().marks().empty());
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
    EXPECT_TRUE(main()->marks().marks().empty());
    EXPECT_EQ(list()->rowCount(), 0);

    mark({{kError, 10, 3, u"甲乙丙", u"丁"}});
    EXPECT_EQ(markedCharacters(), 3u);
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

// Regression: colouring a mark was an undoable edit of the document, so Ctrl+Z after a check took
// marks away and left their rows, and after "清除标记" it brought red back with no rows.
TEST_F(AppTest, MarksNeverEnterTheUndoHistory) {
    start();
    editor()->setPlainText(q(kText));
    const QString html = editor()->toHtml();
    QTextCursor(editor()->document()).insertText(q(u"文章"));  // an edit of the user's
    check();
    ASSERT_TRUE(waitUntil([&] { return status() == kSummary3; }));
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Position), "8");
    EXPECT_EQ(colourAt(8), QColor(255, 0, 0));
    // The document holds no mark: what is copied or exported from it carries no red.
    EXPECT_FALSE(editor()->toHtml().contains(QStringLiteral("#ff0000")));

    // Ctrl+Z undoes the user's edit, not the marks: rows and marks move back with the text.
    editor()->undo();
    EXPECT_EQ(editor()->toPlainText(), q(kText));
    EXPECT_FALSE(editor()->document()->isUndoAvailable());
    ASSERT_EQ(list()->rowCount(), 3);
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Position), "6");
    EXPECT_EQ(list()->cellText(2, ErrorListModel::Position), "13");
    EXPECT_FALSE(hasColour(5));
    EXPECT_EQ(colourAt(6), QColor(255, 0, 0));
    EXPECT_EQ(colourAt(12), QColor(255, 168, 255));
    editor()->redo();
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Position), "8");
    EXPECT_FALSE(hasColour(6));
    EXPECT_EQ(colourAt(9), QColor(255, 0, 0));

    // "清除标记" is no edit either: undoing afterwards brings no mark back, and every character
    // keeps its own format.
    main()->commandAction(Command::ClearMarks)->trigger();
    editor()->undo();
    EXPECT_EQ(editor()->toPlainText(), q(kText));
    EXPECT_EQ(list()->rowCount(), 0);
    for (int i = 0; i < static_cast<int>(kText.size()); ++i) {
        EXPECT_FALSE(hasColour(i)) << i;
        EXPECT_FALSE(documentColours(editor(), i)) << i;
    }
    EXPECT_EQ(editor()->toHtml(), html);
}

// Regression: after the progress window was closed the user could edit while the run went on
// with the text as it was when it started; findings still to come landed on the wrong characters.
TEST_F(AppTest, FindingsOfABackgroundRunMoveWithTheEditsMadeMeanwhile) {
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
        progress()->reject();  // the close button: the run goes on
    });
    ASSERT_TRUE(waitUntil([&] { return list()->rowCount() == 1; }));  // 再接再励, so far
    // Edits before every finding, over one still to come (遍) and after all of them.
    QTextCursor cursor(editor()->document());
    cursor.insertText(q(u"前言"));
    cursor.setPosition(15);
    cursor.setPosition(16, QTextCursor::KeepAnchor);
    ASSERT_EQ(cursor.selectedText(), q(u"遍"));
    cursor.insertText(q(u"次"));
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(q(u"。"));
    QTextCursor caret(editor()->document());
    caret.setPosition(3);
    editor()->setTextCursor(caret);
    release = true;
    ASSERT_TRUE(waitUntil([&] { return !m_startup->runInProgress(); }));
    ASSERT_TRUE(waitUntil([&] { return status() == kSummary3; })) << status().toStdString();

    EXPECT_EQ(editor()->toPlainText(), q(u"前言文章写完之后再接再励检查一次。"));
    // 一 moved with the edit before it; 遍 is no longer there to be marked.
    ASSERT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Position), "8");
    EXPECT_EQ(list()->cellText(1, ErrorListModel::Word), q(u"一"));
    EXPECT_EQ(list()->cellText(1, ErrorListModel::Position), "14");
    for (int i = 0; i < editor()->document()->characterCount() - 1; ++i) {
        const QColor expected = i >= 8 && i <= 11 ? QColor(255, 0, 0)
                                : i == 14         ? QColor(255, 168, 255)
                                                  : QColor();
        EXPECT_EQ(colourAt(i), expected) << i;
    }
    // The run in the background leaves the caret where the user put it.
    EXPECT_EQ(editor()->textCursor().position(), 3);
    EXPECT_FALSE(editor()->textCursor().hasSelection());
}

// An import keeps the rows and marks it found, but what a background run finds in the text it
// replaced is not marked on the imported one.
TEST_F(AppTest, ABackgroundRunMarksNothingOfTheTextAnImportReplaced) {
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
        progress()->reject();
    });
    ASSERT_TRUE(waitUntil([&] { return list()->rowCount() == 1; }));
    const std::string file = m_dir.file("imported.txt");
    writeBytes(file, q(u"文章写完之后文章写完之后文章").toStdString());
    setMessageAnswererForTesting([](const ShownMessage&) { return QMessageBox::Ok; });
    main()->importDocument(QString::fromStdString(file));
    setMessageAnswererForTesting({});
    ASSERT_EQ(editor()->toPlainText(), q(u"文章写完之后文章写完之后文章"));
    release = true;
    ASSERT_TRUE(waitUntil([&] { return status() == kSummary3; })) << status().toStdString();
    ASSERT_EQ(list()->rowCount(), 1);
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Word), q(u"再接再励"));
    EXPECT_FALSE(hasColour(12));
    EXPECT_FALSE(hasColour(13));
}

}  // namespace
}  // namespace kjf::test
