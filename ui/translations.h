// The toolkit's own texts (file dialogs, its questions, standard buttons) in the windows'
// language, German.
#ifndef TARNWICK_UI_TRANSLATIONS_H_
#define TARNWICK_UI_TRANSLATIONS_H_

class QCoreApplication;

namespace ui {

// Installs Qt's German translation (qtbase_de from Qt's translations folder, Debian package
// qt6-translations-l10n) into `app`, once. Returns whether it was found; without it the
// toolkit's own texts stay English, while the program's own questions are German regardless.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace ui

#endif  // TARNWICK_UI_TRANSLATIONS_H_
