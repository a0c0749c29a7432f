// The fixture of the desktop program's tests of start-up and of marking: a program directory
// with three tiny dictionaries, started as the program starts.
#pragma once

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "app/error_list_model.h"
#include "app/finding_marks.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app/startup.h"
#include "app/welcome_window.h"
#include "engine_support.h"
#include "gui_test_support.h"
#include "settings/settings_file.h"

namespace kjf::test {

// 文章 写完 之后 are correct, 再接再励 is an error, 一 and 遍 are in no dictionary.
inline constexpr std::u16string_view kText = u"文章写完之后再接再励检查一遍";
inline const QString kSummary3 = q(u"校对完毕，共检测出3个问题！");
inline constexpr auto kError = FindingType::Error;
inline constexpr auto kSuspected = FindingType::Suspected;

inline void writeSetup(const TempDir& dir, std::u16string_view correctList,
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

    // The colour a mark draws at position, and whether any mark is drawn there.
    QColor colourAt(int position) const { return markColour(editor(), position); }
    bool hasColour(int position) const { return colourAt(position).isValid(); }
    // How many characters the marks cover.
    std::size_t markedCharacters() const {
        std::size_t count = 0;
        for (const auto& mark : main()->marks().marks()) {
            count += static_cast<std::size_t>(mark.length);
        }
        return count;
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

}  // namespace kjf::test
