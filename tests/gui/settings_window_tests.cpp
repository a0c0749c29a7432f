// The settings window, its pages, the dictionary editor and the about window with real widgets on
// the offscreen platform, against real files in a temporary program directory.
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
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string kindDirectory(const TempDir& dir, DictionaryKind kind) {
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
void expectMessage(const ShownMessage& message, QMessageBox::Icon icon, std::u16string_view text) {
    EXPECT_EQ(message.icon, icon);
    EXPECT_EQ(message.caption, q(u"提示"));
    EXPECT_EQ(message.text.section(QLatin1Char('\n'), 0, 0), q(text));
}

// What a failure's message gives as the reason: the text after "原因：".
QString reasonOf(const ShownMessage& message) {
    const QString marker = QStringLiteral("\n原因：");
    const auto at = message.text.indexOf(marker);
    return at < 0 ? QString() : message.text.mid(at + marker.size());
}

QTableWidget* listOf(const rg_CiKuSheZhi& page) {
    return child<QTableWidget>(&page, "dictionaryList");
}

QPushButton* button(const QWidget* parent, const char* name) {
    return child<QPushButton>(parent, name);
}

QStringList rowNames(const rg_CiKuSheZhi& page) {
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

TEST_F(SettingsWindowTest, TreeSwitchesPagesAndReusesTheListPage) {
    open();
    EXPECT_EQ(m_window.windowTitle(), q(u"系统设置"));
    const QStringList texts = {q(u"设置"),     q(u"基本设置"), q(u"系统词库"),
                               q(u"正确词库"), q(u"错误词库"), q(u"用户词库"),
                               q(u"正确词库"), q(u"错误词库"), q(u"自动词库")};
    QStringList shown;
    for (QTreeWidgetItemIterator it(tree()); *it; ++it) {
        shown << (*it)->text(0);
        EXPECT_TRUE((*it)->childCount() == 0 || (*it)->isExpanded());
    }
    EXPECT_EQ(shown, texts);
    EXPECT_EQ(tree()->width(), 150);
    EXPECT_EQ(pageHost()->geometry(), QRect(150, 0, 490, 480));

    // The basic settings show at opening; a new selection builds a new page.
    QPointer<QWidget> basic = basicPage();
    ASSERT_TRUE(basic);
    rg_CiKuSheZhi& page = listPage(rg_SheZhiChuangKou1::SystemCorrectItem);
    QTRY_VERIFY(basic.isNull());
    QLabel* title = child<QLabel>(&page, "titleLabel");
    EXPECT_EQ(shownPage(), &page);
    EXPECT_EQ(title->text(), q(u"系统正确词库"));
    EXPECT_EQ(rowNames(page), (QStringList{"a.dict", "b.dict", "c.dict"}));

    // The group items leave the page on screen.
    m_window.selectItem(rg_SheZhiChuangKou1::SystemGroupItem);
    m_window.selectItem(rg_SheZhiChuangKou1::RootItem);
    EXPECT_EQ(shownPage(), &page);

    // Selecting through the tree itself: the same page object, another kind.
    QTreeWidgetItem* systemError = tree()->topLevelItem(0)->child(1)->child(1);
    tree()->setCurrentItem(systemError);
    EXPECT_EQ(dictionaryListPage(), &page);
    EXPECT_EQ(title->text(), q(u"系统错误词库"));
    EXPECT_EQ(page.pageKind(), DictionaryKind::SystemError);
    EXPECT_EQ(rowNames(page), QStringList{"e.dict"});
    listPage(rg_SheZhiChuangKou1::UserCorrectItem);
    EXPECT_EQ(title->text(), q(u"用户正确词库"));
    EXPECT_EQ(listOf(page)->rowCount(), 0);
    listPage(rg_SheZhiChuangKou1::UserErrorItem);
    EXPECT_EQ(title->text(), q(u"用户错误词库"));

    m_window.selectItem(rg_SheZhiChuangKou1::AutomaticItem);
    ASSERT_NE(automaticPage(), nullptr);
    EXPECT_FALSE(page.isVisible());
    EXPECT_EQ(shownPage()->size(), pageHost()->size());
    m_window.reject();
    EXPECT_EQ(m_reloads, 0);
}

TEST_F(SettingsWindowTest, BasicPageLoadsItsDefaultsAndSavesTheFourKeysInOrder) {
    writeBytes(m_dir.file("setup.ini"), "[引擎设置]\r\n");
    open();
    rg_JiBenSheZhi* page = basicPage();
    ASSERT_NE(page, nullptr);
    auto* automatic = child<QCheckBox>(page, "autoQuantizationBox");
    auto* value = child<NumberBox>(page, "quantizationBox");
    auto* engineType = child<QComboBox>(page, "engineTypeBox");
    auto* accuracy = child<QCheckBox>(page, "accuracyBox");
    QPushButton* save = button(page, "saveButton");
    EXPECT_TRUE(automatic->isChecked());
    EXPECT_FALSE(value->isEnabled());
    EXPECT_EQ(value->text(), "10");
    EXPECT_EQ(engineType->currentText(), q(u"正向校对"));
    EXPECT_TRUE(accuracy->isChecked());

    engineType->setCurrentIndex(1);
    QTest::mouseClick(automatic, Qt::LeftButton);
    EXPECT_TRUE(value->isEnabled());
    value->setText("15");  // out of range, kept as typed
    QTest::mouseClick(save, Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Information, u"保存成功！");
    const std::string expected =
        "[引擎设置]\r\n准确度提升=1\r\n量化数值=15\r\n自动量化=0\r\n引擎类型=2\r\n";
    EXPECT_EQ(setupBytes(), expected);
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(setupBytes(), expected);

    // Unsaved edits are dropped by switching pages; the page reads setup.ini again.
    value->setText("3");
    m_window.selectItem(rg_SheZhiChuangKou1::AutomaticItem);
    m_window.selectItem(rg_SheZhiChuangKou1::BasicItem);
    page = basicPage();
    ASSERT_NE(page, nullptr);
    value = child<NumberBox>(page, "quantizationBox");
    engineType = child<QComboBox>(page, "engineTypeBox");
    EXPECT_EQ(value->text(), "15");
    EXPECT_TRUE(value->isEnabled());
    EXPECT_EQ(engineType->currentText(), q(u"反项校对"));
    EXPECT_EQ(engineType->currentData().toInt(), 2);

    // The arrows keep to 2..10 while typing does not.
    value->stepBy(1);
    EXPECT_EQ(value->text(), "10");
    value->setText("3");
    value->stepBy(-5);
    EXPECT_EQ(value->text(), "2");
    m_window.reject();
    EXPECT_EQ(m_reloads, 0);
}

TEST_F(SettingsWindowTest, BasicPageReportsAFailedSaveInsteadOfSuccess) {
    fs::create_directory(m_dir.file("setup.ini.d"));
    fs::remove(m_dir.file("setup.ini"));
    fs::create_directory(m_dir.file("setup.ini"));  // cannot be read or replaced
    open();
    QTest::mouseClick(button(basicPage(), "saveButton"), Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Critical, u"保存失败！");
    EXPECT_EQ(reasonOf(m_answers.last()), q(u"不是普通文件"));
    EXPECT_TRUE(fs::is_directory(m_dir.file("setup.ini")));
}

TEST_F(SettingsWindowTest, EnablingStoresTheCheckedRowsInRowOrder) {
    open();
    rg_CiKuSheZhi& page = listPage(rg_SheZhiChuangKou1::SystemCorrectItem);
    QTableWidget* list = listOf(page);
    QPushButton* enable = button(&page, "enableButton");
    auto* checkAll = child<QCheckBox>(&page, "checkAllBox");
    const auto checked = [list](int row) {
        return list->item(row, rg_CiKuSheZhi::NumberColumn)->checkState() == Qt::Checked;
    };
    const auto mark = [list](int row) {
        return list->item(row, rg_CiKuSheZhi::EnabledColumn)->text();
    };
    EXPECT_EQ(list->item(1, rg_CiKuSheZhi::NumberColumn)->text(), "2");
    EXPECT_TRUE(checked(0));
    EXPECT_EQ(mark(0), q(u"是"));
    EXPECT_FALSE(checked(1));
    EXPECT_EQ(mark(1), "");

    // Checked in the order c, then b; stored in row order.
    list->item(2, 0)->setCheckState(Qt::Checked);
    list->item(1, 0)->setCheckState(Qt::Checked);
    list->item(0, 0)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(m_window.dictionariesChanged());
    QTest::mouseClick(enable, Qt::LeftButton);
    EXPECT_TRUE(m_window.dictionariesChanged());
    EXPECT_EQ(readSetting(m_dir.path(), setting::kDictionarySection,
                          enabledListKey(DictionaryKind::SystemCorrect), u"?"),
              u"b.dict,c.dict,");
    EXPECT_EQ(mark(0), "");
    EXPECT_EQ(mark(2), q(u"是"));

    QTest::mouseClick(checkAll, Qt::LeftButton);
    EXPECT_TRUE(checked(0) && checked(1) && checked(2));
    QTest::mouseClick(checkAll, Qt::LeftButton);
    EXPECT_FALSE(checked(0) || checked(1) || checked(2));
    QTest::mouseClick(enable, Qt::LeftButton);
    EXPECT_EQ(readSetting(m_dir.path(), setting::kDictionarySection,
                          enabledListKey(DictionaryKind::SystemCorrect), u"?"),
              u"");
    EXPECT_TRUE(m_answers.messages.empty());

    m_window.reject();
    EXPECT_EQ(m_reloads, 1);
}

TEST_F(SettingsWindowTest, OptimiseRunsOnItsWorkerUpToOneHundredAndSortsTheFile) {
    open();
    rg_CiKuSheZhi& page = listPage(rg_SheZhiChuangKou1::SystemCorrectItem);
    QPushButton* optimise = button(&page, "optimiseButton");
    auto* progress = child<QProgressBar>(&page, "progressBar");
    QTest::mouseClick(optimise, Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Warning, u"请选择一个词库！");
    EXPECT_FALSE(m_window.dictionariesChanged());

    std::vector<int> values;
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });
    selectRow(page, 1);
    QTest::mouseClick(optimise, Qt::LeftButton);
    EXPECT_TRUE(m_window.dictionariesChanged());
    ASSERT_TRUE(waitUntil([&] { return m_answers.messages.size() == 2; }));
    expectMessage(m_answers.last(), QMessageBox::Information, u"优化完成！");
    EXPECT_EQ(m_status.text(), q(u"优化完成！"));
    EXPECT_EQ(progress->value(), 100);
    // Three lines read, two written: 16, 33, 50, then 75, 100.
    EXPECT_EQ(values, (std::vector<int>{16, 33, 50, 75, 100}));
    EXPECT_EQ(readBytes(kindDirectory(m_dir, DictionaryKind::SystemCorrect) + "b.dict"),
              utf16le(u"乙\r\n甲\r\n"));
    EXPECT_FALSE(page.optimiseInProgress());

    // A file that cannot be read whole is left alone.
    const std::string path = kindDirectory(m_dir, DictionaryKind::SystemCorrect) + "c.dict";
    const std::string cut = utf16le(u"写完") + std::string(2, '\0') + utf16le(u"之后\r\n");
    writeBytes(path, cut);
    selectRow(page, 2);
    QTest::mouseClick(optimise, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return m_answers.messages.size() == 3; }));
    expectMessage(m_answers.last(), QMessageBox::Critical, u"优化失败！");
    EXPECT_EQ(m_status.text(), q(u"优化失败！"));
    EXPECT_EQ(readBytes(path), cut);
    m_window.reject();
    EXPECT_EQ(m_reloads, 1);
}

TEST_F(SettingsWindowTest, ClosingWaitsForARunningOptimiseAndShowsItsResult) {
    // Large enough that the run is still going when the window closes.
    std::u16string words;
    for (int i = 0; i < 200000; ++i) {
        words += std::u16string(1, static_cast<char16_t>(0x4E00 + i % 20000)) + u"\r\n";
    }
    writeBytes(kindDirectory(m_dir, DictionaryKind::SystemCorrect) + "b.dict", utf16le(words));
    open();
    rg_CiKuSheZhi& page = listPage(rg_SheZhiChuangKou1::SystemCorrectItem);
    selectRow(page, 1);
    QTest::mouseClick(button(&page, "optimiseButton"), Qt::LeftButton);
    m_window.reject();
    EXPECT_FALSE(page.optimiseInProgress());
    expectMessage(m_answers.last(), QMessageBox::Information, u"优化完成！");
    EXPECT_EQ(readBytes(kindDirectory(m_dir, DictionaryKind::SystemCorrect) + "b.dict").size(),
              20000u * 6);
    EXPECT_EQ(m_reloads, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_answers.messages.size(), 1u);  // the queued result is not shown twice
}

TEST_F(SettingsWindowTest, DeleteAsksFirstAndCancelKeepsTheFile) {
    open();
    rg_CiKuSheZhi& page = listPage(rg_SheZhiChuangKou1::SystemCorrectItem);
    QPushButton* remove = button(&page, "deleteButton");
    QTest::mouseClick(remove, Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Warning, u"请选中一项后再操作！");

    const std::string path = kindDirectory(m_dir, DictionaryKind::SystemCorrect) + "a.dict";
    selectRow(page, 0);
    m_answers.buttons = {QMessageBox::Cancel};
    QTest::mouseClick(remove, Qt::LeftButton);
    const ShownMessage question = m_answers.last();
    EXPECT_EQ(question.icon, QMessageBox::NoIcon);
    EXPECT_EQ(question.text, q(u"确定要删除 a.dict 词库吗？"));
    EXPECT_EQ(question.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_TRUE(pathExists(path));
    EXPECT_EQ(listOf(page)->rowCount(), 3);
    EXPECT_FALSE(m_window.dictionariesChanged());

    m_answers.buttons = {QMessageBox::Ok};
    QTest::mouseClick(remove, Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Information, u"删除成功！");
    EXPECT_FALSE(pathExists(path));
    EXPECT_EQ(rowNames(page), (QStringList{"b.dict", "c.dict"}));
    EXPECT_TRUE(m_window.dictionariesChanged());
    // The enabled list keeps the name until the next "启用选中".
    EXPECT_EQ(readSetting(m_dir.path(), setting::kDictionarySection,
                          enabledListKey(DictionaryKind::SystemCorrect), u""),
              u"a.dict,x.dict,");
}

TEST_F(SettingsWindowTest, CreateMakesAnEmptyFileAndNeverEmptiesAnExistingOne) {
    open();
    rg_CiKuSheZhi& page = listPage(rg_SheZhiChuangKou1::SystemCorrectItem);
    QPushButton* create = button(&page, "createButton");
    m_answers.typed = {q(u"新词库")};
    QTest::mouseClick(create, Qt::LeftButton);
    ASSERT_EQ(m_answers.inputs.size(), 1u);
    EXPECT_EQ(m_answers.inputs[0].first, q(u"新增词库"));
    EXPECT_EQ(m_answers.inputs[0].second, q(u"请输入词库名称，不含后缀"));
    expectMessage(m_answers.last(), QMessageBox::Information, u"创建成功！");
    const std::string path = kindDirectory(m_dir, DictionaryKind::SystemCorrect) + "新词库.dict";
    EXPECT_EQ(readBytes(path), "");
    EXPECT_EQ(rowNames(page), (QStringList{"a.dict", "b.dict", "c.dict", q(u"新词库.dict")}));
    EXPECT_EQ(listOf(page)->item(3, 0)->checkState(), Qt::Unchecked);

    // The same name again, after words were added: refused, the words stay.
    writeBytes(path, utf16le(u"词\r\n"));
    m_answers.typed = {q(u"新词库"), QString(), q(u"a,b")};
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(create, Qt::LeftButton);
        expectMessage(m_answers.last(), QMessageBox::Critical, u"创建失败！");
    }
    // The taken name says why; a name no list could hold is refused without a system reason.
    EXPECT_EQ(reasonOf(m_answers.messages[m_answers.messages.size() - 3]), q(u"文件已存在"));
    EXPECT_EQ(reasonOf(m_answers.last()), QString());
    EXPECT_EQ(readBytes(path), utf16le(u"词\r\n"));

    // Cancel: no message.
    const auto shown = m_answers.messages.size();
    QTest::mouseClick(create, Qt::LeftButton);
    EXPECT_EQ(m_answers.messages.size(), shown);
    EXPECT_FALSE(m_window.dictionariesChanged());
    m_window.reject();
    EXPECT_EQ(m_reloads, 0);
}

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

    for (std::u16string_view bad : {u"$=$正词", u"错词=正词"}) {
        box->setPlainText(q(u"错词$=$正词\n") + q(bad));
        QTest::mouseClick(save, Qt::LeftButton);
        expectMessage(m_answers.last(), QMessageBox::Critical,
                      u"格式（形如：错词$=$正词）错误，请检查后再保存！");
    }
    EXPECT_EQ(readBytes(path), utf16le(u"再接再励$=$再接再厉\r\n\r\n  甲$=$乙  "));
    EXPECT_EQ(saves, 0);

    box->setPlainText(q(u"错词$=$\n   \n错词$=$正词"));
    QTest::mouseClick(save, Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Information, u"保存成功！");
    EXPECT_EQ(readBytes(path), utf16le(u"错词$=$\r\n   \r\n错词$=$正词"));
    EXPECT_EQ(saves, 1);

    // A failed write says so and leaves the file whole.
    setWriteFaultInjectorForTesting([](std::string_view step) { return step == "rename"; });
    box->setPlainText(q(u"丙$=$丁"));
    QTest::mouseClick(save, Qt::LeftButton);
    setWriteFaultInjectorForTesting({});
    expectMessage(m_answers.last(), QMessageBox::Critical, u"保存失败！");
    EXPECT_EQ(readBytes(path), utf16le(u"错词$=$\r\n   \r\n错词$=$正词"));
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

// Installed, setup.ini, the shared system data and the user's dictionaries are three folders;
// each page works on its own, and a system folder that cannot be written refuses new files.
TEST_F(SettingsWindowTest, InstalledPagesUseEachKindsOwnFolder) {
    TempDir settings;
    TempDir shared;
    TempDir user;
    const Locations split{settings.path(), shared.path() + "sys/", user.path(), user.path()};
    fs::create_directories(split.dictionaryDirectory(DictionaryKind::SystemCorrect));
    writeBytes(split.dictionaryDirectory(DictionaryKind::SystemCorrect) + "words.dict",
               utf16le(u"文章\r\n"));
    fs::create_directories(split.dictionaryDirectory(DictionaryKind::UserCorrect));
    writeBytes(split.dictionaryDirectory(DictionaryKind::UserCorrect) + "mine.dict", "");
    fs::create_directories(split.dictionaryDirectory(DictionaryKind::Automatic));
    writeBytes(split.automaticDictionaryPath(), utf16le(u"自学\r\n"));
    EXPECT_TRUE(writeSetting(settings.path(), setting::kDictionarySection,
                             enabledListKey(DictionaryKind::UserCorrect), u"mine.dict,"));
    m_window.setLocations(split);
    open();

    rg_CiKuSheZhi& system = listPage(rg_SheZhiChuangKou1::SystemCorrectItem);
    EXPECT_EQ(rowNames(system), QStringList{"words.dict"});
    listOf(system)->item(0, rg_CiKuSheZhi::NumberColumn)->setCheckState(Qt::Checked);
    QTest::mouseClick(button(&system, "enableButton"), Qt::LeftButton);
    EXPECT_EQ(readSetting(settings.path(), setting::kDictionarySection,
                          enabledListKey(DictionaryKind::SystemCorrect), u""),
              u"words.dict,");
    rg_CiKuSheZhi& own = listPage(rg_SheZhiChuangKou1::UserCorrectItem);
    EXPECT_EQ(rowNames(own), QStringList{"mine.dict"});
    EXPECT_EQ(listOf(own)->item(0, rg_CiKuSheZhi::NumberColumn)->checkState(), Qt::Checked);
    m_window.selectItem(rg_SheZhiChuangKou1::AutomaticItem);
    ASSERT_NE(automaticPage(), nullptr);
    EXPECT_EQ(child<DictionaryTextBox>(automaticPage(), "textBox")->toPlainText(), q(u"自学\n"));
    // Nothing was written into the program directory of the fixture.
    EXPECT_EQ(setupBytes().find("words.dict"), std::string::npos);

    // A system folder the program may not write (here: below a file) lists nothing and gives
    // the usual failure for a new dictionary.
    writeBytes(shared.file("blocked"), "");
    m_window.setLocations(
        {settings.path(), shared.path() + "blocked/sys/", user.path(), user.path()});
    rg_CiKuSheZhi& blocked = listPage(rg_SheZhiChuangKou1::SystemErrorItem);
    EXPECT_EQ(listOf(blocked)->rowCount(), 0);
    m_answers.typed = {q(u"新词库")};
    QTest::mouseClick(button(&blocked, "createButton"), Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Critical, u"创建失败！");
}

// An installed program's system dictionaries belong to the installation: deleting, creating,
// optimising and saving one fail at once with the page's message and why, even for a user who
// could write there (root); the user's own pages work as before.
TEST_F(SettingsWindowTest, InstalledSystemDictionariesAreReadOnlyAndTheMessageSaysSo) {
    TempDir settings;
    TempDir shared;
    TempDir user;
    const Locations installed{settings.path(), shared.path() + "sys/", user.path(), user.path()};
    const std::string systemFolder = installed.dictionaryDirectory(DictionaryKind::SystemCorrect);
    fs::create_directories(systemFolder);
    const std::string words = utf16le(u"文章\r\n文章\r\n");
    writeBytes(systemFolder + "words.dict", words);
    fs::create_directories(installed.dictionaryDirectory(DictionaryKind::UserCorrect));
    m_window.setLocations(installed);
    open();
    const auto expectReadOnly = [this](std::u16string_view failure) {
        const ShownMessage shown = m_answers.last();
        expectMessage(shown, QMessageBox::Critical, failure);
        EXPECT_TRUE(shown.text.section(u'\n', 1).contains(q(u"系统词库是只读的")))
            << shown.text.toStdString();
    };

    rg_CiKuSheZhi& system = listPage(rg_SheZhiChuangKou1::SystemCorrectItem);
    selectRow(system, 0);
    QTest::mouseClick(button(&system, "deleteButton"), Qt::LeftButton);
    ASSERT_EQ(m_answers.messages.size(), 1u);  // no question first: the answer cannot matter
    expectReadOnly(u"删除失败！");
    QTest::mouseClick(button(&system, "createButton"), Qt::LeftButton);
    expectReadOnly(u"创建失败！");
    EXPECT_TRUE(m_answers.inputs.empty());
    QTest::mouseClick(button(&system, "optimiseButton"), Qt::LeftButton);
    expectReadOnly(u"优化失败！");
    EXPECT_FALSE(system.optimiseInProgress());
    QTimer::singleShot(0, [&] {
        auto* editor = qobject_cast<rg_BianJiCiKuChuangKou*>(QApplication::activeModalWidget());
        ASSERT_NE(editor, nullptr);
        child<DictionaryTextBox>(editor, "textBox")->setPlainText(q(u"文章\n之后"));
        editor->save();
        editor->reject();
    });
    QTest::mouseClick(button(&system, "editButton"), Qt::LeftButton);
    expectReadOnly(u"保存失败！");
    EXPECT_EQ(readBytes(systemFolder + "words.dict"), words);
    EXPECT_EQ(rowNames(system), QStringList{"words.dict"});
    EXPECT_EQ(std::distance(fs::directory_iterator(systemFolder), fs::directory_iterator()), 1);
    EXPECT_FALSE(m_window.dictionariesChanged());

    rg_CiKuSheZhi& own = listPage(rg_SheZhiChuangKou1::UserCorrectItem);
    m_answers.typed = {q(u"我的")};
    QTest::mouseClick(button(&own, "createButton"), Qt::LeftButton);
    expectMessage(m_answers.last(), QMessageBox::Information, u"创建成功！");
    EXPECT_EQ(rowNames(own), QStringList{"我的.dict"});
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

    // Empty box: optimise keeps it empty; the automatic page never asks for a reload.
    box->clear();
    QTest::mouseClick(optimise, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !page->optimiseInProgress(); }));
    expectMessage(m_answers.last(), QMessageBox::Information, u"优化完成！");
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(readBytes(path), "");
    m_window.reject();
    EXPECT_EQ(m_reloads, 0);
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
