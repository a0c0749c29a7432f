// Acting on findings from "错误列表" and the keyboard: accepting suggestions (and undoing and
// redoing it), ignoring, teaching the dictionaries, copying, moving from finding to finding, rows
// that follow edits, the keys and the menus.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>

#include "app/error_list_model.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app/startup.h"
#include "engine_support.h"
#include "gui_test_support.h"
#include "settings/settings_file.h"
#include "ui/message_box.h"
#include "ui/status_text.h"

namespace kjf::test {
namespace {

// 再接再励 and 按步就班 are wrong words with suggestions; 丁 is in no dictionary.
const std::u16string_view kText = u"文章再接再励写完丁之后按步就班检查";

class FindingActionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "c.dict",
                        {u"文章", u"写完", u"之后", u"检查"});
        writeDictionary(m_dir, DictionaryKind::SystemError, "e.dict",
                        {u"再接再励$=$再接再厉", u"按步就班$=$按部就班"});
        using namespace setting;
        EXPECT_TRUE(writeSetting(m_dir.path(), kDictionarySection,
                                 enabledListKey(DictionaryKind::SystemCorrect), u"c.dict,"));
        EXPECT_TRUE(writeSetting(m_dir.path(), kDictionarySection,
                                 enabledListKey(DictionaryKind::SystemError), u"e.dict,"));
        EXPECT_TRUE(writeSetting(m_dir.path(), kEngineSection, kAccuracyBoost, u"0"));
        setMessageAnswererForTesting([this](const ShownMessage& message) {
            m_messages.push_back(message);
            return QMessageBox::Ok;
        });
        m_startup = std::make_unique<rg_QiDongLei>(m_dir.path());
        m_startup->startApplication();
        main()->show();
        // Keys reach shortcuts in the active window only.
        main()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main()));
    }
    void TearDown() override {
        setMessageAnswererForTesting({});
        m_startup.reset();
    }

    rg_WoDeZhuChuangKou* main() const { return m_startup->mainWindow(); }
    QTextEdit* editor() const { return main()->editor(); }
    ErrorListModel* list() const { return main()->errorList(); }
    QTableView* view() const { return child<QTableView>(main(), "errorListView"); }
    QString status() const { return m_startup->statusText().text(); }
    QString statusLabel() const { return child<QLabel>(main(), "statusMessage")->text(); }
    QString text() const { return editor()->toPlainText(); }

    // Types the text (as one edit) and checks it with F7.
    void checkText(std::u16string_view text) {
        editor()->setPlainText(q(text));
        focus(editor());
        QTest::keyClick(main(), Qt::Key_F7);
        ASSERT_TRUE(waitUntil([&] { return status().startsWith(q(u"校对完毕")); }))
            << status().toStdString();
    }
    // Gives widget the keyboard focus in the main window, active again after a modal window.
    void focus(QWidget* widget) {
        main()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main()));
        widget->setFocus();
        ASSERT_TRUE(waitUntil([&] { return QApplication::focusWidget() == widget; }));
    }
    void selectRows(std::initializer_list<int> rows) {
        focus(view());
        view()->clearSelection();
        for (const int row : rows) {
            view()->selectionModel()->select(
                list()->index(row, ErrorListModel::Word),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    QString selectedText() const { return editor()->textCursor().selectedText(); }
    bool coloured(int position) const { return markColour(editor(), position).isValid(); }
    // The colour each character of the text is marked with, as a string: r red, p pink, '.' none.
    QString colours() const {
        QString drawn;
        for (int i = 0; i < editor()->document()->characterCount() - 1; ++i) {
            const QColor colour = markColour(editor(), i);
            drawn += !colour.isValid()                 ? u'.'
                     : colour == QColor(255, 0, 0)     ? u'r'
                     : colour == QColor(255, 168, 255) ? u'p'
                                                       : u'?';
        }
        return drawn;
    }
    QStringList rowWords() const {
        QStringList words;
        for (int row = 0; row < list()->rowCount(); ++row) {
            words.append(list()->cellText(row, ErrorListModel::Word) + u'@' +
                         list()->cellText(row, ErrorListModel::Position));
        }
        return words;
    }
    QString counts() const { return child<QLabel>(main(), "countLabel")->text(); }
    QAction* listAction(const char16_t* caption) const {
        for (QAction* action : view()->actions()) {
            if (action->text() == q(caption)) {
                return action;
            }
        }
        ADD_FAILURE() << "no action";
        std::abort();
    }

    TempDir m_dir;
    std::unique_ptr<rg_QiDongLei> m_startup;
    std::vector<ShownMessage> m_messages;
};

}  // namespace

TEST_F(FindingActionTest, ReturnAcceptsTheSuggestionInOneUndoableEditAndRowsStayOnTheirText) {
    checkText(kText);
    ASSERT_EQ(list()->rowCount(), 3);
    EXPECT_EQ(counts(), q(u"错误 2，疑似 1"));
    // The first finding's characters get a format of their own, which the change keeps.
    QTextCursor bold(editor()->document());
    bold.setPosition(2);
    bold.setPosition(6, QTextCursor::KeepAnchor);
    QTextCharFormat weight;
    weight.setFontWeight(QFont::Bold);
    bold.mergeCharFormat(weight);

    selectRows({0});
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_EQ(text(), q(u"文章再接再厉写完丁之后按步就班检查"));
    EXPECT_FALSE(coloured(2));  // the mark is gone with the word
    QTextCursor changed(editor()->document());
    changed.setPosition(3);
    EXPECT_EQ(changed.charFormat().fontWeight(), QFont::Bold);
    ASSERT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Number), "1");
    EXPECT_EQ(counts(), q(u"错误 1，疑似 1"));

    // Every other row still selects exactly its own characters.
    for (int row = 0; row < 2; ++row) {
        selectRows({row});
        main()->jumpToFinding();
        EXPECT_EQ(selectedText(), list()->cellText(row, ErrorListModel::Word)) << row;
    }

    // A row without a suggestion cannot be accepted.
    selectRows({0});
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Word), q(u"丁"));
    EXPECT_FALSE(listAction(u"采用建议")->isEnabled());
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_EQ(list()->rowCount(), 2);

    // Ctrl+Z in the editor brings the word back in one step, with its mark and its row; redo
    // takes them away again.
    focus(editor());
    QTest::keyClick(editor(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(), q(kText));
    EXPECT_EQ(rowWords(), (QStringList{q(u"再接再励@2"), q(u"丁@8"), q(u"按步就班@11")}));
    EXPECT_EQ(colours(), q(u"..rrrr..p..rrrr.."));
    EXPECT_EQ(counts(), q(u"错误 2，疑似 1"));
    editor()->redo();
    EXPECT_EQ(text(), q(u"文章再接再厉写完丁之后按步就班检查"));
    EXPECT_EQ(rowWords(), (QStringList{q(u"丁@8"), q(u"按步就班@11")}));
    EXPECT_EQ(colours(), q(u"........p..rrrr.."));
}

// Regression: undoing "采用建议" brought the wrong word back red but without its row.
TEST_F(FindingActionTest, UndoBringsAcceptedWordsBackWithTheirMarksAndRowsAndRedoTakesThemAway) {
    checkText(u"再接再励丁按步就班丁再接再励");
    selectRows({0, 2, 4});
    QTest::keyClick(view(), Qt::Key_Return);
    ASSERT_EQ(text(), q(u"再接再厉丁按部就班丁再接再厉"));
    // An edit of the user's afterwards is undone on its own, first.
    QTextCursor(editor()->document()).insertText(q(u"甲"));
    EXPECT_EQ(rowWords(), (QStringList{q(u"丁@5"), q(u"丁@10")}));
    editor()->undo();
    EXPECT_EQ(rowWords(), (QStringList{q(u"丁@4"), q(u"丁@9")}));

    // The rows between the accepted ones stay where they are; the accepted ones come back in
    // their places.
    editor()->undo();
    EXPECT_EQ(text(), q(u"再接再励丁按步就班丁再接再励"));
    const QStringList all = {q(u"再接再励@0"), q(u"丁@4"), q(u"按步就班@5"), q(u"丁@9"),
                             q(u"再接再励@10")};
    EXPECT_EQ(rowWords(), all);
    EXPECT_EQ(colours(), q(u"rrrrprrrrprrrr"));
    for (int row = 0; row < list()->rowCount(); ++row) {
        EXPECT_EQ(list()->cellText(row, ErrorListModel::Number), QString::number(row + 1));
    }
    editor()->redo();
    EXPECT_EQ(rowWords(), (QStringList{q(u"丁@4"), q(u"丁@9")}));
    EXPECT_EQ(colours(), q(u"....p....p...."));
    editor()->undo();
    EXPECT_EQ(rowWords(), all);

    // After "清除标记" undoing brings the words back, but no mark or row: they were cleared.
    editor()->redo();
    main()->clearMarks();
    editor()->undo();
    EXPECT_EQ(text(), q(u"再接再励丁按步就班丁再接再励"));
    EXPECT_EQ(list()->rowCount(), 0);
    EXPECT_EQ(colours(), q(u".............."));
}

TEST_F(FindingActionTest, SeveralRowsAreAcceptedLaterPositionsFirst) {
    checkText(u"再接再励丁按步就班丁再接再励");
    ASSERT_EQ(list()->rowCount(), 5);
    selectRows({0, 2, 4});
    QTest::keyClick(view(), Qt::Key_Enter);
    EXPECT_EQ(text(), q(u"再接再厉丁按部就班丁再接再厉"));
    ASSERT_EQ(list()->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        selectRows({row});
        main()->jumpToFinding();
        EXPECT_EQ(editor()->textCursor().selectionStart(), row == 0 ? 4 : 9);
        EXPECT_EQ(selectedText(), q(u"丁"));
    }
    editor()->undo();
    EXPECT_EQ(text(), q(u"再接再励丁按步就班丁再接再励"));
}

// Many accepted rows come back in one pass, and a reverse scan's list keeps its backward order.
TEST_F(FindingActionTest, UndoKeepsTheListsOrderForManyRowsAndAfterAReverseScan) {
    QString many;
    for (int i = 0; i < 70; ++i) {
        many += q(u"再接再励丁");
    }
    checkText(many.toStdU16String());
    ASSERT_EQ(list()->rowCount(), 140);
    const QStringList all = rowWords();
    focus(view());
    view()->clearSelection();
    for (int row = 0; row < 140; row += 2) {
        view()->selectionModel()->select(list()->index(row, ErrorListModel::Word),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QTest::keyClick(view(), Qt::Key_Return);
    ASSERT_EQ(list()->rowCount(), 70);
    editor()->undo();
    EXPECT_EQ(rowWords(), all);

    EXPECT_TRUE(writeSetting(m_dir.path(), setting::kEngineSection, setting::kEngineType, u"2"));
    checkText(u"再接再励丁按步就班");
    const QStringList backwards = {q(u"按步就班@5"), q(u"丁@4"), q(u"再接再励@0")};
    ASSERT_EQ(rowWords(), backwards);
    selectRows({0, 2});
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_EQ(rowWords(), QStringList{q(u"丁@4")});
    editor()->undo();
    EXPECT_EQ(rowWords(), backwards);
}

TEST_F(FindingActionTest, RowsFollowTheUsersEditsAndGoWhenTheirCharactersChange) {
    checkText(kText);
    QTextCursor cursor(editor()->document());
    cursor.insertText(q(u"前言"));  // before every finding
    selectRows({2});
    main()->jumpToFinding();
    EXPECT_EQ(selectedText(), q(u"按步就班"));
    EXPECT_EQ(list()->cellText(2, ErrorListModel::Position), "13");

    // Typing inside a finding, and deleting one, takes its row away.
    cursor.setPosition(5);
    cursor.insertText(q(u"x"));
    cursor.setPosition(11);
    cursor.setPosition(12, QTextCursor::KeepAnchor);
    EXPECT_EQ(cursor.selectedText(), q(u"丁"));
    cursor.removeSelectedText();
    ASSERT_EQ(list()->rowCount(), 1);
    selectRows({0});
    main()->jumpToFinding();
    EXPECT_EQ(selectedText(), q(u"按步就班"));

    // A change of format alone is no edit.
    QTextCursor all(editor()->document());
    all.select(QTextCursor::Document);
    QTextCharFormat italic;
    italic.setFontItalic(true);
    all.mergeCharFormat(italic);
    EXPECT_EQ(list()->rowCount(), 1);
}

TEST_F(FindingActionTest, DeleteAndIgnoreAllClearMarksAndRowsButNotTheText) {
    checkText(u"丁再接再励丁丁");
    ASSERT_EQ(list()->rowCount(), 4);
    selectRows({1});
    QTest::keyClick(view(), Qt::Key_Delete);
    EXPECT_EQ(text(), q(u"丁再接再励丁丁"));
    EXPECT_FALSE(coloured(1));
    EXPECT_TRUE(coloured(0));
    ASSERT_EQ(list()->rowCount(), 3);

    selectRows({1});
    listAction(u"全部忽略此词")->trigger();
    EXPECT_EQ(list()->rowCount(), 0);
    for (int i = 0; i < 7; ++i) {
        EXPECT_FALSE(coloured(i)) << i;
    }
    EXPECT_EQ(counts(), q(u"错误 0，疑似 0"));
    // "清除标记" afterwards still gives every character its own format.
    focus(editor());
    QTest::keyClick(main(), Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(status(), q(u"清除标记完成！"));
}

TEST_F(FindingActionTest, AddingToTheUserCorrectDictionaryMakesAndEnablesIt) {
    checkText(u"丁再接再励丁");
    selectRows({1});
    EXPECT_FALSE(listAction(u"加入用户正确词库")->isEnabled());  // the error dictionaries decide
    selectRows({0});
    ASSERT_TRUE(listAction(u"加入用户正确词库")->isEnabled());
    listAction(u"加入用户正确词库")->trigger();
    EXPECT_TRUE(m_messages.empty());
    const std::string file = m_dir.path() + "data/user/right/user.dict";
    EXPECT_EQ(readBytes(file), utf16le(u"丁\r\n"));
    EXPECT_EQ(readSetting(m_dir.path(), u"词库设置", u"用户正确词库列表", u""), u"user.dict,");
    ASSERT_EQ(list()->rowCount(), 1);  // every row of 丁 went
    // The label: the reload's loaders report their files on their own threads.
    EXPECT_EQ(statusLabel(), q(u"“丁”已加入用户正确词库，正在重新加载词库"));

    // The dictionaries are loaded again at once: the next check knows the word.
    focus(editor());
    QTest::keyClick(main(), Qt::Key_F7);
    ASSERT_TRUE(waitUntil([&] { return status().startsWith(q(u"校对完毕")); }));
    EXPECT_EQ(status(), q(u"校对完毕，共检测出1个问题！"));
    EXPECT_EQ(rowWords(), QStringList{q(u"再接再励@1")});
}

// Regression: a word added to the automatic dictionary from the editor counted only after a
// restart.
TEST_F(FindingActionTest, AWordAddedToTheAutomaticDictionaryCountsAtTheNextCheck) {
    checkText(u"丁再接再励丁");
    QTextCursor cursor(editor()->document());
    cursor.setPosition(0);
    cursor.setPosition(1, QTextCursor::KeepAnchor);
    editor()->setTextCursor(cursor);
    main()->addSelectionToAutoDictionary();
    EXPECT_EQ(statusLabel(), q(u"加入成功！"));
    focus(editor());
    QTest::keyClick(main(), Qt::Key_F7);
    ASSERT_TRUE(waitUntil([&] { return status().startsWith(q(u"校对完毕")); }));
    EXPECT_EQ(status(), q(u"校对完毕，共检测出1个问题！"));
}

TEST_F(FindingActionTest, AUserCorrectDictionaryThatCannotBeWrittenKeepsTheRows) {
    EXPECT_TRUE(writeSetting(m_dir.path(), u"词库设置", u"用户正确词库列表", u"mine.dict,"));
    std::filesystem::create_directories(m_dir.path() + "data/user/right/mine.dict");
    checkText(u"丁丁");
    selectRows({0});
    listAction(u"加入用户正确词库")->trigger();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(m_messages[0].text.contains(QStringLiteral("mine.dict")));
    EXPECT_EQ(list()->rowCount(), 2);
}

TEST_F(FindingActionTest, CopyPutsTheRowsOnTheClipboardAsTabSeparatedText) {
    checkText(kText);
    selectRows({2, 0});
    QTest::keyClick(view(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              q(u"1\t再接再励\t再接再厉\t错误\n3\t按步就班\t按部就班\t错误\n"));
}

TEST_F(FindingActionTest, KeysMoveFromFindingToFindingAndTheToolBarShowsItsKeys) {
    EXPECT_EQ(main()->commandAction(Command::Check)->toolTip(), q(u"校对 (F7)"));
    EXPECT_EQ(main()->commandAction(Command::Import)->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(main()->commandAction(Command::ExportErrors)->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_EQ(main()->commandAction(Command::ExportRevised)->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(main()->commandAction(Command::ExportRevised)->toolTip(), q(u"导出修订稿 (Ctrl+S)"));
    checkText(kText);
    focus(editor());
    editor()->setTextCursor(QTextCursor(editor()->document()));
    QTest::keyClick(editor(), Qt::Key_F8);
    EXPECT_EQ(selectedText(), q(u"再接再励"));
    EXPECT_EQ(view()->selectionModel()->selectedRows().value(0).row(), 0);
    QTest::keyClick(editor(), Qt::Key_F8);
    EXPECT_EQ(selectedText(), q(u"丁"));
    QTest::keyClick(editor(), Qt::Key_F8);
    QTest::keyClick(editor(), Qt::Key_F8);  // past the last: round to the first
    EXPECT_EQ(selectedText(), q(u"再接再励"));
    QTest::keyClick(editor(), Qt::Key_F8, Qt::ShiftModifier);
    EXPECT_EQ(selectedText(), q(u"按步就班"));
    EXPECT_EQ(view()->selectionModel()->selectedRows().value(0).row(), 2);
}

// No key is bound twice where both bindings work, and no key of the whole window takes one of the
// editor's own editing keys.
TEST_F(FindingActionTest, NoTwoActionsShareAKeyWhereBothWork) {
    struct Binding {
        QKeySequence key;
        const QObject* scope;  // the main window for a key of the whole window, else the widget
        QString caption;
    };
    std::vector<Binding> bindings;
    for (const QAction* action : main()->findChildren<QAction*>()) {
        for (const QKeySequence& key : action->shortcuts()) {
            if (action->shortcutContext() == Qt::WindowShortcut) {
                bindings.push_back({key, main(), action->text()});
                continue;
            }
            EXPECT_EQ(action->shortcutContext(), Qt::WidgetShortcut)
                << action->text().toStdString();
            for (const QObject* widget : action->associatedObjects()) {
                bindings.push_back({key, widget, action->text()});
            }
        }
    }
    // The tool bar's five keys, F8 and Shift+F8, and the list's Return, Enter, Delete and Ctrl+C.
    EXPECT_EQ(bindings.size(), 11u);
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        for (std::size_t j = i + 1; j < bindings.size(); ++j) {
            const Binding& a = bindings[i];
            const Binding& b = bindings[j];
            EXPECT_FALSE(a.key == b.key &&
                         (a.scope == main() || b.scope == main() || a.scope == b.scope))
                << a.caption.toStdString() << " and " << b.caption.toStdString() << " share "
                << a.key.toString().toStdString();
        }
    }
    for (const auto standard : {QKeySequence::Undo, QKeySequence::Redo, QKeySequence::Cut,
                                QKeySequence::Copy, QKeySequence::Paste, QKeySequence::SelectAll}) {
        for (const QKeySequence& key : QKeySequence::keyBindings(standard)) {
            for (const Binding& binding : bindings) {
                EXPECT_FALSE(binding.scope == main() && binding.key == key)
                    << binding.caption.toStdString() << " takes the editor's "
                    << key.toString().toStdString();
            }
        }
    }
}

TEST_F(FindingActionTest, TheListsMenuOffersWhatFitsTheSelection) {
    checkText(kText);
    selectRows({1});
    QStringList captions;
    QStringList enabled;
    QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), QStringLiteral("errorListMenu"));
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                captions.append(action->text());
                if (action->isEnabled()) {
                    enabled.append(action->text());
                }
            }
        }
        menu->close();
    });
    const QPoint at = view()->visualRect(list()->index(1, ErrorListModel::Word)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view()->viewport(), &event);
    EXPECT_EQ(captions, (QStringList{q(u"采用建议"), q(u"忽略"), q(u"全部忽略此词"),
                                     q(u"加入用户正确词库"), q(u"复制")}));
    // 丁: no suggestion to accept, but a word to teach.
    EXPECT_EQ(enabled,
              (QStringList{q(u"忽略"), q(u"全部忽略此词"), q(u"加入用户正确词库"), q(u"复制")}));
}

}  // namespace kjf::test
