#pragma once
// The program speaks Chinese whatever the machine's LANG says: Qt's own dialogs, menus and buttons
// (file, folder and print dialogs, print preview, text boxes' context menus) come from Qt's Chinese
// translations, and calendars and numbers follow the Chinese locale.
#include <QString>

// Sets the Chinese locale as the default and installs Qt's Chinese translations on the running
// application. Returns false when the translations are not installed (the texts then stay English).
bool UseChineseDesktop();
// Where Qt's translations are looked for, in order.
QStringList QtTranslationFolders();
