// Loading Qt's German translation.
#include "ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace ui {

bool InstallQtTranslations(QCoreApplication& app) {
  static QPointer<QTranslator> installed;
  if (installed) return true;
  // The windows speak German whatever the system's locale, so the toolkit's texts follow them
  // rather than the locale: a French system would otherwise mix French buttons into them.
  auto* translator = new QTranslator(&app);
  if (!translator->load(QLocale(QLocale::German, QLocale::Germany), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  installed = translator;
  return true;
}

}  // namespace ui
