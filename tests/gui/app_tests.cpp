// The desktop program with real widgets on the offscreen platform: start-up, the main window's
// controls and layout, the close query, the status bar from other threads, Qt's Chinese texts and
// the artwork.
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
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <QXmlStreamReader>
#include <cmath>
#include <thread>

#include "app_fixture.h"
#include "resources/artwork.h"
#include "ui/message_box.h"
#include "ui/qt_translation.h"
#include "ui/splitter_bar.h"

namespace kjf::test {
namespace {

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
    const QStringList captions = {q(u"导入"),       q(u"校对"),     q(u"清除标记"), q(u"导出错误"),
                                  q(u"导出修订稿"), q(u"词库设置"), q(u"关于"),     q(u"退出")};
    ASSERT_EQ(toolBar()->actions().size(), captions.size());
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
