#include "platform/ChineseDesktop.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

QStringList QtTranslationFolders() {
  // Qt's own folder first; Debian's qt6-translations-l10n puts the files in /usr/share/qt6/translations.
  QStringList folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath), QStringLiteral("/usr/share/qt6/translations")};
  folders.removeDuplicates();
  return folders;
}

bool UseChineseDesktop() {
  const QLocale chinese(QLocale::Chinese, QLocale::China);
  QLocale::setDefault(chinese);
  auto* app = QCoreApplication::instance();
  if (!app) return false;
  // Installed once per application: a second call finds the translator already there.
  static QTranslator* translator = nullptr;
  if (translator) return true;
  auto* t = new QTranslator(app);
  for (const QString& folder : QtTranslationFolders())
    if (t->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
      QCoreApplication::installTranslator(t);
      translator = t;
      return true;
    }
  delete t;
  return false;
}
