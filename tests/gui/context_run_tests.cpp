// The proofreading run with the context check: contextual findings marked and listed, refuted
// dictionary findings never shown, the setting's absence, a broken model, and an interrupt while
// the model judges. Also auto-learning while a run still works in the background.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <thread>

#include "app/error_list_model.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app/proofreading_run.h"
#include "app/startup.h"
#include "app/welcome_window.h"
#include "context_support.h"
#include "engine_support.h"
#include "gui_test_support.h"
#include "learning/auto_learning_window.h"
#include "settings/settings_file.h"
#include "ui/message_box.h"
#include "ui/status_text.h"

namespace kjf::test {
namespace {

using namespace std::chrono_literals;

// 神迹 and 套曲 are words the model finds out of place; 已下 is a generated wrong word the model
// refutes here (已 下载), 再接再励 a curated one that always stays.
const std::u16string_view kText = u"经济责任神迹项目。依法套曲资金。已下载完成。再接再励";

class ContextRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "c.dict",
                        {u"经济", u"责任", u"神迹", u"项目", u"依法", u"套曲", u"资金", u"下载",
                         u"完成", u"以下", u"载", u"。"});
        writeDictionary(m_dir, DictionaryKind::SystemError, "homophones.dict", {u"已下$=$以下"});
        writeDictionary(m_dir, DictionaryKind::SystemError, "common.dict",
                        {u"再接再励$=$再接再厉"});
        const std::string contextData = m_dir.path() + "data/sys/context/";
        std::filesystem::create_directories(contextData);
        ASSERT_TRUE(writeTinyContextModel(contextData, m_dir.file("model.lm")));
        using namespace setting;
        EXPECT_TRUE(writeSetting(m_dir.path(), kDictionarySection,
                                 enabledListKey(DictionaryKind::SystemCorrect), u"c.dict,"));
        EXPECT_TRUE(writeSetting(m_dir.path(), kDictionarySection,
                                 enabledListKey(DictionaryKind::SystemError),
                                 u"common.dict,homophones.dict,"));
        EXPECT_TRUE(writeSetting(m_dir.path(), kEngineSection, kAccuracyBoost, u"0"));
        EXPECT_TRUE(writeSetting(m_dir.path(), kEngineSection, kContextModel,
                                 QString::fromStdString(m_dir.file("model.lm")).toStdU16String()));
        contextCheck(true);
        setMessageAnswererForTesting([this](const ShownMessage& message) {
            m_messages.push_back(message);
            return QMessageBox::Ok;
        });
    }
    void TearDown() override {
        setMessageAnswererForTesting({});
        if (m_startup && m_startup->progressWindow()->isVisible()) {
            m_startup->progressWindow()->done(0);
        }
        m_startup.reset();
    }

    void contextCheck(bool on) {
        EXPECT_TRUE(writeSetting(m_dir.path(), setting::kEngineSection, setting::kContextCheck,
                                 on ? u"1" : u"0"));
    }
    void start() {
        m_startup = std::make_unique<rg_QiDongLei>(m_dir.path());
        m_startup->startApplication();
        main()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main()));
    }
    rg_WoDeZhuChuangKou* main() const { return m_startup->mainWindow(); }
    ErrorListModel* list() const { return main()->errorList(); }
    QString status() const { return m_startup->statusText().text(); }

    // Presses "校对"; during runs once inside the progress window's loop.
    void check(std::function<void()> during = {}) {
        triggerThroughProgress(main()->commandAction(Command::Check), m_startup->progressWindow(),
                               during, 20000);
    }
    bool finished(int count) {
        return waitUntil([&] {
            return status() == q(u"校对完毕，共检测出") + QString::number(count) + q(u"个问题！");
        });
    }
    QStringList rowCells(int row) const {
        QStringList cells;
        for (int column = 0; column < ErrorListModel::ColumnCount; ++column) {
            cells.append(list()->cellText(row, column));
        }
        return cells;
    }
    bool marked(int position) const { return markColour(main()->editor(), position).isValid(); }

    TempDir m_dir;
    std::unique_ptr<rg_QiDongLei> m_startup;
    std::vector<ShownMessage> m_messages;
};

}  // namespace

TEST_F(ContextRunTest, ContextualFindingsAreMarkedAndListedAndRefutedOnesAreNot) {
    start();
    main()->editor()->setPlainText(q(kText));
    check();
    ASSERT_TRUE(finished(3)) << status().toStdString();
    ASSERT_EQ(list()->rowCount(), 3);
    EXPECT_EQ(rowCells(0), (QStringList{"1", q(u"神迹"), q(u"审计"), q(u"语境"), "4", "2"}));
    EXPECT_EQ(rowCells(1), (QStringList{"2", q(u"套曲"), q(u"套取"), q(u"语境"), "11", "2"}));
    EXPECT_EQ(rowCells(2),
              (QStringList{"3", q(u"再接再励"), q(u"再接再厉"), q(u"错误"), "22", "4"}));
    EXPECT_TRUE(marked(4));
    EXPECT_TRUE(marked(12));
    EXPECT_FALSE(marked(16));  // 已下: the model prefers the text as written
    EXPECT_FALSE(marked(17));
    EXPECT_TRUE(marked(22));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(ContextRunTest, WithoutTheSettingTheDictionariesDecideAlone) {
    // A setup.ini written before the context check existed has no such key.
    contextCheck(false);
    std::string ini = readBytes(m_dir.file("setup.ini"));
    const std::string line = "语境校对=0\r\n";
    ini.erase(ini.find(line), line.size());
    writeBytes(m_dir.file("setup.ini"), ini);
    start();
    main()->editor()->setPlainText(q(kText));
    check();
    ASSERT_TRUE(finished(2)) << status().toStdString();
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Word), q(u"已下"));
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Type), q(u"错误"));
    EXPECT_EQ(list()->cellText(1, ErrorListModel::Word), q(u"再接再励"));
    EXPECT_FALSE(marked(4));
}

TEST_F(ContextRunTest, ABrokenModelIsReportedOnceAndTheDictionariesGoOn) {
    writeBytes(m_dir.file("model.lm"), "no model in here");
    start();
    ASSERT_TRUE(waitUntil([&] { return !m_messages.empty(); }));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(m_messages[0].text.startsWith(q(u"语言模型加载失败")));
    EXPECT_TRUE(m_messages[0].text.contains(QString::fromStdString(m_dir.file("model.lm"))));
    main()->editor()->setPlainText(q(kText));
    check();
    ASSERT_TRUE(finished(2)) << status().toStdString();
    EXPECT_EQ(list()->cellText(0, ErrorListModel::Word), q(u"已下"));
    check();
    ASSERT_TRUE(finished(2));
    EXPECT_EQ(m_messages.size(), 1u);  // once, not at every run
}

TEST_F(ContextRunTest, InterruptWhileTheModelJudgesKeepsWhatItHasNotJudged) {
    start();
    // 套曲 once: the model flags no word that the text writes twice.
    QString text = q(u"依法套曲资金。已下载完成。");
    for (int i = 1; i < 200; ++i) {
        text += q(u"依法套取资金。已下载完成。");
    }
    main()->editor()->setPlainText(text);
    std::atomic<bool> reached{false};
    std::atomic<bool> release{false};
    m_startup->proofreadingRun().setStepObserverForTesting(
        [&](ProofreadingRun::Step step, std::int64_t) {
            if (step == ProofreadingRun::Step::Context && !reached.exchange(true)) {
                while (!release) {
                    std::this_thread::sleep_for(1ms);
                }
            }
        });
    check([&] {
        ASSERT_TRUE(waitUntil([&] { return reached.load(); }));
        child<QPushButton>(m_startup->progressWindow(), "interruptButton")->click();
        EXPECT_FALSE(m_startup->progressWindow()->isVisible());
        release = true;
    });
    ASSERT_TRUE(waitUntil([&] { return !m_startup->runInProgress(); }));
    ASSERT_TRUE(waitUntil([&] { return status().startsWith(q(u"校对完毕")); }));
    int contextual = 0;
    int unjudged = 0;
    for (int row = 0; row < list()->rowCount(); ++row) {
        if (list()->cellText(row, ErrorListModel::Type) == q(u"语境")) {
            ++contextual;
        } else if (list()->cellText(row, ErrorListModel::Word) == q(u"已下")) {
            ++unjudged;
        }
    }
    // The model stopped after a few sentences: what it reached was judged, the rest keeps the
    // dictionaries' findings as they are.
    EXPECT_GE(contextual, 1);
    EXPECT_LT(contextual, 20);
    EXPECT_GT(unjudged, 180);
}

// Regression: "自动学习" stopped a run still working in the background (after its progress window
// was closed), and findings it had not listed yet were lost to the analysis.
TEST_F(ContextRunTest, AutoLearningWaitsForARunStillWorking) {
    contextCheck(false);
    start();
    main()->editor()->setPlainText(q(u"依法已下载完成。资金再接再励"));
    std::atomic<bool> reached{false};
    std::atomic<bool> release{false};
    m_startup->proofreadingRun().setStepObserverForTesting(
        [&](ProofreadingRun::Step, std::int64_t position) {
            if (position == 8 && !reached.exchange(true)) {
                while (!release) {
                    std::this_thread::sleep_for(1ms);
                }
            }
        });
    check([&] {
        ASSERT_TRUE(waitUntil([&] { return reached.load(); }));
        m_startup->progressWindow()->reject();  // the window's close button
    });
    ASSERT_TRUE(m_startup->runInProgress());
    main()->openAutoLearningWindow();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, q(u"校对仍在进行，请等校对完毕后再自动学习。"));
    EXPECT_FALSE(main()->autoLearningWindow().isVisible());
    EXPECT_TRUE(m_startup->runInProgress());  // not stopped

    release = true;
    ASSERT_TRUE(finished(2));
    main()->openAutoLearningWindow();
    rg_ZiDongXueXiChuangKou1& window = main()->autoLearningWindow();
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(waitUntil([&] { return !window.analysisRunning(); }));
    QCoreApplication::processEvents();
    // Both findings of the run reach the analysis, each joined with the word before it.
    auto* groups = child<QTableWidget>(&window, "wordGroupList");
    ASSERT_EQ(groups->rowCount(), 2);
    EXPECT_EQ(groups->item(0, rg_ZiDongXueXiChuangKou1::Group)->text(), q(u"依法已下"));
    EXPECT_EQ(groups->item(1, rg_ZiDongXueXiChuangKou1::Group)->text(), q(u"资金再接再励"));
}

}  // namespace kjf::test
