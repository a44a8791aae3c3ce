#include "output/MyFastReport.h"

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/ChineseAmount.h"
#include "app/services/LoginState.h"
#include "platform/Dialogs.h"

#include <QFileInfo>

ReportEngine gReport;

void BeginReport() {
  ReportEngine::setCapitalsFormatter([](double amount) { return AmountToChineseUppercase(amount); });
  gReport.MCreate(0);
  gReport.MClearAll();
  gReport.MButtons(1, std::vector<bool>(8, true));
}

qint64 BindReportQuery(int slot, const QString& name, const QString& sql, const QVariantList& params) {
  OpenMainQuery(sql, params);
  ReportDataset d;
  d.name = name;
  d.columns = gMainRecordset.columns();
  for (gMainRecordset.MoveFirst(); !gMainRecordset.Eof(); gMainRecordset.MoveNext()) {
    QVariantList row;
    row.reserve(d.columns.size());
    for (int c = 0; c < d.columns.size(); ++c) row << gMainRecordset.value(c);
    d.rows.push_back(std::move(row));
  }
  if (!d.rows.empty()) gMainRecordset.MoveFirst();
  gReport.MSetData(slot, d, name);
  return qint64(d.rows.size());
}

QString ReportTemplatePath(const QString& fileName) {
  QString dir = gAppDir.trimmed();
  if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
  return dir + QStringLiteral("template/") + fileName;
}

QString DocumentTitle(const QString& templateFile) {
  static const std::pair<const char*, const char*> titles[] = {{"JJ", "借据"},       {"JJ2", "借据"},     {"JJ3", "收款收据"},
                                                               {"JJ4", "贷款列表"}, {"JJ5", "融资凭证"}, {"JJ6", "融资列表"},
                                                               {"JJ7", "付款凭证"}};
  const QString base = QFileInfo(templateFile).completeBaseName();
  for (const auto& [file, title] : titles)
    if (base.compare(QLatin1String(file), Qt::CaseInsensitive) == 0) return QString::fromUtf8(title);
  return base;
}

bool RunReportTemplate(const QString& fileName, int mode, const QString& printer, QWidget* owner) {
  bool ok = false;
  gReport.MSetTitle(DocumentTitle(fileName));
  try {
    ok = gReport.MPrintReport(mode, ReportTemplatePath(fileName), printer, owner);
    if (!ok) MsgBox(QStringLiteral("打印机未准备好或发生错误！"), Mb::Exclamation, QStringLiteral("警告"));
  } catch (const ReportTemplateError& e) {
    MsgBox(e.message, Mb::Exclamation);
  }
  gReport.MClose();
  return ok;
}

bool PrintListReport(const QString& templateName, const QString& datasetName, const QString& sql,
                     const QVariantList& params, QWidget* owner) {
  BeginReport();
  BindReportQuery(1, datasetName, sql, params);
  gReport.MAddV(QStringLiteral("抬头"), gUnitName);
  return RunReportTemplate(templateName, 0, QString(), owner);
}
