// The fixture of the settings window's tests: a program directory with a few dictionaries, the
// window with a counted reload, message boxes answered, and helpers for the pages.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <deque>
#include <filesystem>
#include <thread>

#include "about/about_window.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app/startup.h"
#include "app/welcome_window.h"
#include "dictionaries/automatic_dictionary_page.h"
#include "dictionaries/basic_settings_page.h"
#include "dictionaries/dictionary_editor.h"
#include "dictionaries/dictionary_list_page.h"
#include "dictionaries/dictionary_text_box.h"
#include "dictionaries/settings_window.h"
#include "engine_support.h"
#include "gui_test_support.h"
#include "settings/settings_file.h"
#include "text/files.h"
#include "ui/message_box.h"
#include "ui/number_box.h"
#include "ui/status_text.h"

namespace kjf::test {

namespace fs = std::filesystem;

inline std::string kindDirectory(const TempDir& dir, DictionaryKind kind) {
    return Locations::portable(dir.path()).dictionaryDirectory(kind);
}

// Answers the message boxes and input boxes instead of a person, and remembers them.
class Answers {
  public:
    Answers() {
        setMessageAnswererForTesting([this](const ShownMessage& message) {
            messages.push_back(message);
            if (buttons.empty()) {
                return QMessageBox::Ok;
            }
            const auto answer = buttons.front();
            buttons.pop_front();
            return answer;
        });
        setInputAnswererForTesting([this](const QString& title, const QString& prompt) {
            inputs.emplace_back(title, prompt);
            auto answer = typed.empty() ? std::nullopt : typed.front();
            if (!typed.empty()) {
                typed.pop_front();
            }
            return answer;
        });
    }
    ~Answers() {
        setMessageAnswererForTesting({});
        setInputAnswererForTesting({});
    }

    // The last message shown; fails the test when there was none.
    ShownMessage last() const {
        EXPECT_FALSE(messages.empty());
        return messages.empty() ? ShownMessage{} : messages.back();
    }

    std::vector<ShownMessage> messages;
    std::deque<QMessageBox::StandardButton> buttons;
    std::deque<std::optional<QString>> typed;
    std::vector<std::pair<QString, QString>> inputs;
};

// The message's first line is text; a failure may say why on the lines below it.
inline void expectMessage(const ShownMessage& message, QMessageBox::Icon icon,
                          std::u16string_view text) {
    EXPECT_EQ(message.icon, icon);
    EXPECT_EQ(message.caption, q(u"提示"));
    EXPECT_EQ(message.text.section(QLatin1Char('\n'), 0, 0), q(text));
}

// What a failure's message gives as the reason: the text after "原因：".
inline QString reasonOf(const ShownMessage& message) {
    const QString marker = QStringLiteral("\n原因：");
    const auto at = message.text.indexOf(marker);
    return at < 0 ? QString() : message.text.mid(at + marker.size());
}

inline QTableWidget* listOf(const rg_CiKuSheZhi& page) {
    return child<QTableWidget>(&page, "dictionaryList");
}

inline QPushButton* button(const QWidget* parent, const char* name) {
    return child<QPushButton>(parent, name);
}

inline QStringList rowNames(const rg_CiKuSheZhi& page) {
    QStringList names;
    for (int row = 0; row < listOf(page)->rowCount(); ++row) {
        names << listOf(page)->item(row, rg_CiKuSheZhi::NameColumn)->text();
    }
    return names;
}

class SettingsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "b.dict", {u"乙", u"甲", u"乙"});
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "a.dict", {u"文章"});
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "c.dict", {u"写完"});
        writeDictionary(m_dir, DictionaryKind::SystemError, "e.dict", {u"再接再励$=$再接再厉"});
        fs::create_directories(kindDirectory(m_dir, DictionaryKind::UserCorrect));
        fs::create_directories(m_dir.path() + "data/user/auto");
        EXPECT_TRUE(writeSetting(m_dir.path(), setting::kDictionarySection,
                                 enabledListKey(DictionaryKind::SystemCorrect), u"a.dict,x.dict,"));
        m_window.setLocations(Locations::portable(m_dir.path()));
        m_window.setReloadAction([this] { ++m_reloads; });
    }

    void open() {
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }

    rg_CiKuSheZhi& listPage(int item) {
        m_window.selectItem(item);
        return *dictionaryListPage();
    }

    // Selects row in the list, as a click would.
    void selectRow(rg_CiKuSheZhi& page, int row) { listOf(page)->selectRow(row); }

    QTreeWidget* tree() const { return child<QTreeWidget>(&m_window, "navigationTree"); }
    QWidget* pageHost() const { return child<QWidget>(&m_window, "pageHost"); }
    rg_CiKuSheZhi* dictionaryListPage() const {
        return child<rg_CiKuSheZhi>(&m_window, "dictionaryListPage");
    }
    // The basic-settings and automatic-dictionary pages exist only while they are shown.
    rg_JiBenSheZhi* basicPage() const {
        return m_window.findChild<rg_JiBenSheZhi*>(QStringLiteral("basicSettingsPage"));
    }
    rg_ZiDongCiKuZuJian* automaticPage() const {
        return m_window.findChild<rg_ZiDongCiKuZuJian*>(QStringLiteral("automaticDictionaryPage"));
    }
    // The one page that the window shows now; nullptr when it shows none or more than one.
    QWidget* shownPage() const {
        QWidget* shown = nullptr;
        for (QWidget* page :
             pageHost()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!page->isHidden()) {
                if (shown != nullptr) {
                    return nullptr;
                }
                shown = page;
            }
        }
        return shown;
    }

    std::string setupBytes() const { return readBytes(m_dir.file("setup.ini")); }

    TempDir m_dir;
    Answers m_answers;
    StatusText m_status;
    rg_SheZhiChuangKou1 m_window{m_status};
    int m_reloads = 0;
};

}  // namespace kjf::test
