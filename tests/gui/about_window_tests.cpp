// The about window's code, read back by a real QR reader (zbarimg), and the Chinese texts of Qt's
// file dialogs, with real widgets on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTranslator>
#include <filesystem>

#include "about/about_window.h"
#include "gui_test_support.h"
#include "resources/artwork.h"
#include "test_support.h"
#include "ui/qt_translation.h"

namespace kjf::test {
namespace {

// What zbarimg reads from picture, saved as a PNG file in dir: one line per code it finds.
QString decoded(const QPixmap& picture, const TempDir& dir) {
    const QString path = QString::fromStdString(dir.file("code.png"));
    EXPECT_TRUE(picture.save(path));
    QProcess reader;
    reader.start(QStringLiteral(KJF_ZBARIMG),
                 {QStringLiteral("--raw"), QStringLiteral("-q"), path});
    EXPECT_TRUE(reader.waitForFinished(30000)) << "zbarimg missing: install zbar-tools";
    return QString::fromUtf8(reader.readAllStandardOutput());
}

TEST(AboutWindow, ItsCodeIsAReadableQrCodeOfTheFeedbackAddressAndItsTitleTheProgramsName) {
    EXPECT_EQ(rg_GuanYuChuangKou::feedbackAddress(), QStringLiteral(KJF_FEEDBACK_URL));
    rg_GuanYuChuangKou window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), q(u"勘鉴坊"));

    TempDir dir;
    auto* picture = child<QLabel>(&window, "pictureLabel");
    EXPECT_EQ(decoded(picture->grab(), dir), QStringLiteral(KJF_FEEDBACK_URL "\n"));
    // Drawn at the label's own size, so that the label never scales the modules.
    EXPECT_EQ(picture->pixmap().size(), picture->size());

    // Sharp on a screen of twice the density too, and for an address of any length a code holds.
    const QString longer = QStringLiteral(KJF_FEEDBACK_URL "?") + QString(200, u'x');
    const QPixmap dense = aboutPicture(longer, 102, 2.0);
    EXPECT_EQ(dense.size(), QSize(204, 204));
    EXPECT_EQ(dense.devicePixelRatio(), 2.0);
    EXPECT_EQ(decoded(dense, dir), longer + u'\n');
    EXPECT_TRUE(aboutPicture(QString(4000, u'x'), 102, 1.0).isNull());
}

// Qt's translation names a folder in the file dialog's list "文件夹", not "Folder".
TEST(QtTranslation, FileDialogListsNameFoldersInChinese) {
    QTranslator* translator = installQtTranslation(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "qtbase_zh_CN.qm is missing: install qt6-translations-l10n";
    TempDir dir;
    std::filesystem::create_directory(dir.file("文稿"));
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(QString::fromStdString(dir.path()));
    dialog.show();
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QString folder = QString::fromStdString(dir.file("文稿"));
    QString kind;
    EXPECT_TRUE(waitUntil([&] {
        kind = model->data(model->index(folder, 2)).toString();
        return !kind.isEmpty();
    }));
    EXPECT_EQ(kind, q(u"文件夹"));
    EXPECT_EQ(model->data(model->index(QStringLiteral("/"), 2)).toString(), q(u"驱动器"));
    // Translations under other contexts are unchanged.
    EXPECT_EQ(dialog.labelText(QFileDialog::Reject), q(u"取消"));
    dialog.reject();
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(QLocale::system());
}

}  // namespace
}  // namespace kjf::test
