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

QString DefaultSettingsList(const QString& designatedCreditor) {
  QStringList items = {
      QStringLiteral("7"),
      designatedCreditor,
      QStringLiteral("1"),
      QStringLiteral("0"),
      QStringLiteral("0"),
      QStringLiteral("1"),
      QStringLiteral("test"),
      QStringLiteral("470215938"),
      QStringLiteral("Tervane软件"),
      QStringLiteral("0"),
      QStringLiteral("尊敬的[客户名称]你于[约定日期]应还款金额[还贷金额]避免产生利息及违约金.请及时归还.如已还款无需理会."),
      QStringLiteral("尊敬的[客户名称].[短信签名]已于[汇款日期]给您汇去一笔汇款[借款金额]请注意查收."),
      QStringLiteral("0"),
  };
  while (items.size() < 94) items << QStringLiteral("0");
  return items.join(QLatin1Char(','));
}

bool SettingOn(int index) {
  if (index < 0 || index >= kSettingsCapacity) return false;
  bool ok = false;
  double v = gSystemSettings[static_cast<size_t>(index)].trimmed().toDouble(&ok);
  return ok && v != 0;
}
