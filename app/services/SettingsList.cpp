#include "app/services/SettingsList.h"

#include <QStringList>

#include "app/data/AppError.h"

QString ConvertSettingsList(const QString& text, const QString& mode) {
  if (mode == QStringLiteral("读")) {
    gSettingCount = 0;
    for (auto& s : gSystemSettings) s.clear();
    if (text.isEmpty()) return {};
    const QStringList items = text.split(QLatin1Char(','));
    for (const QString& item : items) {
      if (gSettingCount >= kSettingsCapacity)
        throw AppError(Err::SubscriptRange, QStringLiteral("下标越界：参数列表超过 %1 项。").arg(kSettingsCapacity));
      gSystemSettings[static_cast<size_t>(gSettingCount)] = item;
      ++gSettingCount;
    }
    return {};
  }
  QStringList out;
  for (int i = 0; i < gSettingCount && i < kSettingsCapacity; ++i) out << gSystemSettings[static_cast<size_t>(i)];
  return out.join(QLatin1Char(','));
}

bool SettingOn(int index) {
  if (index < 0 || index >= kSettingsCapacity) return false;
  bool ok = false;
  double v = gSystemSettings[static_cast<size_t>(index)].trimmed().toDouble(&ok);
  return ok && v != 0;
}
