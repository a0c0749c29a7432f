// Every window of the program on a small screen at twice the density (QT_SCALE_FACTOR=2 on a
// 1366 x 768 screen: 683 x 384 pixels to lay out in), with real widgets on the offscreen
// platform: each one opens wholly on the screen and shows every control whole.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "about/about_window.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "app/startup.h"
#include "app/welcome_window.h"
#include "app/window_state.h"
#include "app_fixture.h"
#include "dictionaries/dictionary_editor.h"
#include "dictionaries/settings_window.h"
#include "engine_support.h"
#include "gui_test_support.h"
#include "learning/auto_learning_window.h"
#include "settings/settings_file.h"
#include "ui/message_box.h"
#include "ui/splitter_bar.h"

namespace kjf::test {
namespace {

// The widget and its place among its parents, for messages.
std::string describe(const QWidget& widget) {
    std::string path;
    for (const QWidget* w = &widget; w != nullptr; w = w->parentWidget()) {
        const QString name = w->objectName().isEmpty()
                                 ? QString::fromLatin1(w->metaObject()->className())
                                 : w->objectName();
        path = name.toStdString() + (path.empty() ? "" : "/" + path);
        if (w->isWindow()) {
            break;
        }
    }
    return path;
}

// The text a control shows, and the width it needs to show it whole; 0 for other widgets.
int widthNeeded(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return label->wordWrap() || label->text().isEmpty() ? 0 : label->sizeHint().width();
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&widget)) {
        // A push button's own size hint has a minimum width; its text needs its advance and the
        // frame's margins.
        return button->text().isEmpty()
                   ? 0
                   : button->fontMetrics().horizontalAdvance(button->text()) +
                         2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin);
    }
    if (qobject_cast<const QAbstractButton*>(&widget) != nullptr &&
        widget.inherits("QToolButton") == false) {
        return widget.sizeHint().width();  // check boxes and radio buttons
    }
    if (qobject_cast<const QComboBox*>(&widget) != nullptr) {
        return widget.sizeHint().width();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        return group->fontMetrics().horizontalAdvance(group->title());
    }
    return 0;
}

// What of window a person could not see: its frame outside the available area of its screen; a
// visible widget reaching outside its parent (except what a scroll area scrolls); a control too
// narrow for its text.
std::vector<std::string> hiddenParts(const QWidget& window) {
    std::vector<std::string> problems;
    const QRect area = window.screen()->availableGeometry();
    if (!area.contains(window.frameGeometry())) {
        const QRect f = window.frameGeometry();
        problems.push_back(describe(window) + ": frame " + std::to_string(f.x()) + "," +
                           std::to_string(f.y()) + " " + std::to_string(f.width()) + "x" +
                           std::to_string(f.height()) + " outside the screen's " +
                           std::to_string(area.width()) + "x" + std::to_string(area.height()));
    }
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->isWindow() || widget->window() != &window) {
            continue;
        }
        const QWidget* parent = widget->parentWidget();
        const auto* scrolling = qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
        const bool scrolled = scrolling != nullptr && scrolling->viewport() == parent;
        // A label may reach past its parent where it holds no text.
        const auto* label = qobject_cast<const QLabel*>(widget);
        const QRect shown = parent->rect().intersected(widget->geometry());
        const bool whole =
            label != nullptr && !label->wordWrap()
                ? shown.height() == widget->height() && shown.width() >= widthNeeded(*widget)
                : shown == widget->geometry();
        if (!scrolled && !whole) {
            const QRect g = widget->geometry();
            problems.push_back(describe(*widget) + ": " + std::to_string(g.x()) + "," +
                               std::to_string(g.y()) + " " + std::to_string(g.width()) + "x" +
                               std::to_string(g.height()) + " outside its parent's " +
                               std::to_string(parent->width()) + "x" +
                               std::to_string(parent->height()));
        }
        if (const int needed = widthNeeded(*widget); widget->width() < needed) {
            problems.push_back(describe(*widget) + ": " + std::to_string(widget->width()) +
                               " wide, its text needs " + std::to_string(needed));
        }
    }
    return problems;
}

#define EXPECT_WHOLLY_SHOWN(window)                          \
    for (const std::string& problem : hiddenParts(window)) { \
        ADD_FAILURE() << problem;                            \
    }

class SmallScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::primaryScreen()->availableGeometry().size(), QSize(683, 384))
            << "run with QT_SCALE_FACTOR=2 on a 1366 x 768 offscreen screen";
        writeDictionary(m_dir, DictionaryKind::SystemCorrect, "c.dict", {u"文章", u"写完"});
        writeDictionary(m_dir, DictionaryKind::SystemError, "e.dict", {u"再接再励$=$再接再厉"});
        using namespace setting;
        EXPECT_TRUE(writeSetting(m_dir.path(), kDictionarySection,
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

    void TearDown() override { m_startup.reset(); }

    rg_WoDeZhuChuangKou* main() const { return m_startup->mainWindow(); }

    // Runs inside() once the modal window that trigger opens is up, then closes it.
    template <class Window>
    void whileOpen(const std::function<void()>& trigger,
                   const std::function<void(Window&)>& inside) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
            ASSERT_NE(window, nullptr);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
            inside(*window);
            ran = true;
            window->reject();
        });
        trigger();
        EXPECT_TRUE(ran);
    }

    TempDir m_dir;
    std::unique_ptr<rg_QiDongLei> m_startup;
};

TEST_F(SmallScreenTest, TheMainWindowOpensWhollyOnTheScreen) {
    EXPECT_WHOLLY_SHOWN(*main());
    // Shrunk to the screen, not merely moved: the list still beside a usable editor.
    EXPECT_EQ(main()->frameGeometry().size(), QSize(683, 384));
    // The tool bar's first button 5 pixels from the left, its buttons whole.
    auto* bar = child<QToolBar>(main(), "toolBar");
    auto* first =
        qobject_cast<QToolButton*>(bar->widgetForAction(main()->commandAction(Command::Import)));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->mapTo(main(), QPoint(0, 0)), QPoint(5, 0));
}

TEST_F(SmallScreenTest, EveryPageOfTheSettingsWindowAndTheDictionaryEditorAreWhollyShown) {
    whileOpen<rg_SheZhiChuangKou1>(
        [&] { main()->commandAction(Command::DictionarySettings)->trigger(); },
        [&](rg_SheZhiChuangKou1& settings) {
            for (int item = 0; item < rg_SheZhiChuangKou1::ItemCount; ++item) {
                settings.selectItem(item);
                QCoreApplication::processEvents();  // the page's scroll area takes its size
                SCOPED_TRACE(item);
                EXPECT_WHOLLY_SHOWN(settings);
            }
            settings.selectItem(rg_SheZhiChuangKou1::SystemCorrectItem);
            child<QTableWidget>(&settings, "dictionaryList")->selectRow(0);
            whileOpen<rg_BianJiCiKuChuangKou>(
                [&] {
                    QTest::mouseClick(child<QPushButton>(&settings, "editButton"), Qt::LeftButton);
                },
                [&](rg_BianJiCiKuChuangKou& editor) { EXPECT_WHOLLY_SHOWN(editor); });
        });
}

TEST_F(SmallScreenTest, TheAboutAutoLearningImportProgressAndWelcomeWindowsAreWhollyShown) {
    whileOpen<rg_GuanYuChuangKou>([&] { main()->commandAction(Command::About)->trigger(); },
                                  [&](rg_GuanYuChuangKou& about) { EXPECT_WHOLLY_SHOWN(about); });

    main()->openAutoLearningWindow();
    rg_ZiDongXueXiChuangKou1& learning = main()->autoLearningWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&learning));
    EXPECT_WHOLLY_SHOWN(learning);
    learning.close();

    rg_JinDuChuangKou& progress = *m_startup->progressWindow();
    progress.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&progress));
    EXPECT_WHOLLY_SHOWN(progress);
    progress.hide();

    whileOpen<QFileDialog>([&] { main()->commandAction(Command::Import)->trigger(); },
                           [&](QFileDialog& dialog) { EXPECT_WHOLLY_SHOWN(dialog); });

    // The program's own closed once loading had ended; a new one stays up.
    rg_HuanYingChuangKou welcome;
    welcome.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&welcome));
    EXPECT_WHOLLY_SHOWN(welcome);
}

// ---------------------------------------------------------------------------------------------
// Later starts on an ordinary screen: the window as the user left it.

TEST_F(AppTest, LaterStartsRestoreTheWindowsSizePositionAndListSideFromTheirOwnFile) {
    setMessageAnswererForTesting([](const ShownMessage&) { return QMessageBox::Ok; });
    const std::string stateFile = m_dir.file(kWindowStateFileName);
    const std::string setup = readBytes(m_dir.file("setup.ini"));
    start();
    EXPECT_EQ(main()->size(), QSize(819, 614));  // the first start: the designed size
    main()->setGeometry(140, 90, 1000, 700);
    emit child<SplitterBar>(main(), "splitter")->dragged(560);
    EXPECT_TRUE(main()->close());
    EXPECT_TRUE(pathExists(stateFile));
    EXPECT_EQ(readBytes(m_dir.file("setup.ini")), setup);  // setup.ini holds only settings

    m_startup.reset();
    start();
    EXPECT_EQ(main()->geometry(), QRect(140, 90, 1000, 700));
    EXPECT_EQ(child<SplitterBar>(main(), "splitter")->x(), 560);
    // Resizing keeps the list's width.
    main()->resize(900, 700);
    EXPECT_EQ(child<SplitterBar>(main(), "splitter")->x(), 460);

    // A window left beyond the screen's edge comes back whole.
    main()->move(1800, 1000);
    EXPECT_TRUE(main()->close());
    m_startup.reset();
    start();
    EXPECT_TRUE(main()->screen()->availableGeometry().contains(main()->frameGeometry()));
    EXPECT_EQ(main()->size(), QSize(900, 700));

    // A damaged file counts as none.
    EXPECT_TRUE(main()->close());
    writeBytes(stateFile, "[主窗口]\r\ngeometry=#!\r\nlistSide=-4\r\n");
    m_startup.reset();
    start();
    EXPECT_EQ(main()->size(), QSize(819, 614));

    // An installed program that fell back to its shipped settings writes nothing there.
    EXPECT_TRUE(main()->close());
    m_startup.reset();
    std::filesystem::remove(stateFile);
    Locations shipped = Locations::portable(m_dir.path());
    shipped.cacheDirectory.clear();
    m_startup = std::make_unique<rg_QiDongLei>(shipped);
    m_startup->startApplication();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main()));
    EXPECT_TRUE(main()->close());
    EXPECT_FALSE(pathExists(stateFile));
    setMessageAnswererForTesting({});
}

}  // namespace
}  // namespace kjf::test
