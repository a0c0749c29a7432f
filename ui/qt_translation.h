// Qt's own texts (standard buttons, file dialogs, the editors' context menus) in Chinese, like the
// rest of the program.
#pragma once

class QCoreApplication;
class QTranslator;

namespace kjf {

// Installs Qt's Simplified Chinese translation (qtbase_zh_CN from Qt's translations folder, as the
// qt6-translations-l10n package installs it) on application, which owns it, and returns it; and
// makes Chinese (China) the default locale, so that the file dialogs show file types in Chinese
// too; the names of folders and drives in the file dialogs' lists are Chinese as well. nullptr when
// the translation cannot be loaded: Qt's texts then stay English and the locale is left as it was.
// GUI thread, once.
QTranslator* installQtTranslation(QCoreApplication& application);

}  // namespace kjf
