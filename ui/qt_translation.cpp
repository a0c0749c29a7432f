#include "ui/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kjf {

namespace {

// Qt's translation, with the file dialog's names of kinds of entries filled in: Qt 6 asks for
// "Folder" and "Drive" under the icon provider's context, which qtbase_zh_CN does not hold yet,
// while the same words are translated under the file dialog's own context.
class QtChineseTranslator : public QTranslator {
  public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override {
        QString translated = QTranslator::translate(context, sourceText, disambiguation, n);
        if (translated.isEmpty() && qstrcmp(context, "QAbstractFileIconProvider") == 0) {
            translated = QTranslator::translate("QFileDialog", sourceText, disambiguation, n);
        }
        return translated;
    }
};

}  // namespace

QTranslator* installQtTranslation(QCoreApplication& application) {
    auto* translator = new QtChineseTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    return translator;
}

}  // namespace kjf
