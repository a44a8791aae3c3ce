#pragma once
// The workstation's settings: PJ_Jq.参数, a comma list read by position into gSystemSettings.
#include <QString>

#include <array>

#include "app/data/DefaultSettings.h"

inline constexpr int kSettingsCapacity = 121;  // indexes 0 to 120
extern std::array<QString, kSettingsCapacity> gSystemSettings;
extern qint16 gSettingCount;

// mode "读" fills gSystemSettings from `text` and returns ""; any other mode returns the list text of
// items 0 to gSettingCount - 1. A list of more than 121 items throws (the caller reports it).
QString ConvertSettingsList(const QString& text, const QString& mode);

// Item `index` as a switch: "0" or empty is off, any other number on.
bool SettingOn(int index);
