#include "app/data/DefaultSettings.h"

#include <QStringList>

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
