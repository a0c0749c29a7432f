// Writes the program's icon for the desktop's icon theme, at build time:
//   kjf_icon_files OUT_DIR
// makes OUT_DIR/hicolor/<n>x<n>/apps/kanjianfang.png for every size and
// OUT_DIR/hicolor/scalable/apps/kanjianfang.svg.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "resources/artwork.h"

int main(int argc, char** argv) {
    // No display is needed to draw into images.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: kjf_icon_files OUT_DIR\n", stderr);
        return 2;
    }
    if (!kjf::applicationIconHasGlyph()) {
        std::fputs(
            "kjf_icon_files: no installed font has the character 勘 of the icon "
            "(install a Chinese font such as fonts-wqy-microhei)\n",
            stderr);
        return 1;
    }
    const QString root = QFile::decodeName(argv[1]) + QStringLiteral("/hicolor/");
    const auto write = [](const QString& folder, const QString& name, const auto& save) {
        if (!QDir().mkpath(folder) || !save(folder + QLatin1Char('/') + name)) {
            std::fprintf(stderr, "kjf_icon_files: cannot write %s/%s\n", qPrintable(folder),
                         qPrintable(name));
            return false;
        }
        return true;
    };
    const QString png = QStringLiteral("kanjianfang.png");
    for (const int size : kjf::kApplicationIconSizes) {
        const QString folder = root + QStringLiteral("%1x%1/apps").arg(size);
        if (!write(folder, png, [size](const QString& path) {
                return kjf::applicationIconImage(size).save(path, "PNG");
            })) {
            return 1;
        }
    }
    const bool svg = write(root + QStringLiteral("scalable/apps"),
                           QStringLiteral("kanjianfang.svg"), [](const QString& path) {
                               QFile file(path);
                               const QByteArray bytes = kjf::applicationIconSvg();
                               return file.open(QIODevice::WriteOnly) &&
                                      file.write(bytes) == bytes.size() && file.flush();
                           });
    return svg ? 0 : 1;
}
