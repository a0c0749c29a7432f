// The settings window and its basic-settings and dictionary list pages with real widgets on the
// offscreen platform, against real files in a temporary program directory.
#include "settings_window_fixture.h"

namespace kjf::test {
namespace {

using namespace std::chrono_literals;

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

}  // namespace
}  // namespace kjf::test
