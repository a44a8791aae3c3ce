#include "app/BusinessReminder.h"

#include "app/data/DataAccess.h"
#include "app/services/SettingsList.h"
#include "loans/CollectionSchedule.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

namespace {
// A settings item read as a number; anything else is the type error the timer's handler reports.
int settingNumber(int index) {
  bool ok = false;
  double v = gSystemSettings[static_cast<size_t>(index)].trimmed().toDouble(&ok);
  if (!ok) throw AppError(Err::TypeMismatch, QStringLiteral("类型不匹配：参数第 %1 项“%2”不是数字。").arg(index).arg(gSystemSettings[static_cast<size_t>(index)]));
  return static_cast<int>(v);
}

void countRows(const QString& sql, const QString& dueColumn, const QDate& today, int daysAhead, int* overdue, int* soon) {
  OpenMainQuery(sql);
  for (; !gMainRecordset.Eof(); gMainRecordset.MoveNext()) {
    // An instalment without a readable due date cannot be overdue or due: it is left out rather
    // than stopping the whole reminder.
    QDate due = ParseDateText(gMainRecordset.text(dueColumn));
    if (!due.isValid()) continue;
    qint64 d = due.daysTo(today);
    if (d >= 1) ++*overdue;
    else if (d >= -daysAhead) ++*soon;
  }
  CloseRecordset(gMainRecordset);
}
}  // namespace

ReminderCounts CountBusinessReminders(const QDate& today, int daysAhead) {
  ReminderCounts c;
  // The same instalments as the collection calendar shows.
  countRows(OpenInstalmentsSql(QString(), QString()).sql, QStringLiteral("约定归还日期"), today, daysAhead, &c.overdueLoans,
            &c.soonLoans);
  countRows(QStringLiteral("select * from PJ_Cjzfjh where 结算状态 in ('未付','支付部分')"), QStringLiteral("约定支付日期"), today,
            daysAhead, &c.overdueFinancing, &c.soonFinancing);
  return c;
}

QString BusinessReminderText(const ReminderCounts& c, const QString& daysText) {
  return QStringLiteral("逾期贷款：%1笔    %2日内到期贷款：%3笔\r\n逾期拆借：%4笔    %2日内到期拆借：%5笔\r\n\r\n"
                        "您可以点击 “催款日程” 或者 “支付日程” 来查看详细情况。")
      .arg(c.overdueLoans)
      .arg(daysText)
      .arg(c.soonLoans)
      .arg(c.overdueFinancing)
      .arg(c.soonFinancing);
}

void ShowBusinessReminder() {
  if (settingNumber(12) == 0) return;
  int days = settingNumber(0);
  ReminderCounts c = CountBusinessReminders(Clock::today(), days);
  MsgBox(BusinessReminderText(c, gSystemSettings[0]), Mb::OkOnly + Mb::Information, QStringLiteral("业务提醒"));
}
