// The fixture of the tests of the main window's editor commands: a program directory with two
// tiny dictionaries, message boxes and the file manager answered, and helpers for modal dialogs
// and the editor's context menu.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/document_text.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app/startup.h"
#include "app/welcome_window.h"
#include "engine_support.h"
#include "gui_test_support.h"
#include "settings/settings_file.h"
#include "ui/file_manager.h"
#include "ui/message_box.h"

namespace kjf::test {

// Runs act once the next modal widget of type T is up (or fails the test after a while).
template <typename T>
inline void whenModal(std::function<void(T*)> act) {
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
    QString selectedFilter;
    QString directory;  // the folder the dialog showed first
    QString offeredName;
    QString defaultSuffix;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    bool shown = false;
};
inline void answerFileDialog(FileDialogAnswer& answer, const QString& path) {
    whenModal<QFileDialog>([&answer, path](QFileDialog* dialog) {
        answer.shown = true;
        answer.filters = dialog->nameFilters();
        answer.selectedFilter = dialog->selectedNameFilter();
        answer.directory = dialog->directory().absolutePath();
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
inline constexpr std::u16string_view kText = u"文章写完之后再接再励检查一遍";

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
        // The worker posts the summary a moment before it ends; until then the run still owns
        // what the automatic learning would take.
        ASSERT_TRUE(waitUntil([&] { return !m_startup->runInProgress(); }));
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

}  // namespace kjf::test
