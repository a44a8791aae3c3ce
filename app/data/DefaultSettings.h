#pragma once
// The settings list a new workstation starts with: the database builder seeds it and the settings
// form completes a shorter list with it.
#include <QString>

// 94 items: the 13 that the settings form edits, then "0".
QString DefaultSettingsList(const QString& designatedCreditor);
