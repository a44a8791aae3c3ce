#include "app/BusinessReminder.h"

#include "app/data/DataAccess.h"
#include "app/services/SettingsList.h"
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

// The open instalments of one book due from `from` to `to`, counted by the database: a busy
// business has tens of thousands of them, and only the two numbers are shown.
int countDue(const QString& sql, const QStringList& open, const QDate& from, const QDate& to) {
  return static_cast<int>(Db().scalar(sql, {open[0], open[1], DateText(from), DateText(to)}).toLongLong());
}
}  // namespace

ReminderCounts CountBusinessReminders(const QDate& today, int daysAhead) {
  // The same instalments as the collection calendar shows: open rows of saved loans. A row without
  // a due date is neither overdue nor due (the range starts at the first day of the calendar).
  const QString loans = QStringLiteral(
      "select count(*) from PJ_Hdjh a inner join PJ_Dkjl b on b.单号=a.单号 "
      "where a.归还状态 in (?,?) and a.约定归还日期>=? and a.约定归还日期<=?");
  const QString financing = QStringLiteral(
      "select count(*) from PJ_Cjzfjh where 结算状态 in (?,?) and 约定支付日期>=? and 约定支付日期<=?");
  const QStringList openLoans = {QStringLiteral("未还"), QStringLiteral("归还部分")};
  const QStringList openFinancing = {QStringLiteral("未付"), QStringLiteral("支付部分")};
  const QDate first(1, 1, 1), yesterday = today.addDays(-1), horizon = today.addDays(daysAhead);
  ReminderCounts c;
  c.overdueLoans = countDue(loans, openLoans, first, yesterday);
  c.soonLoans = countDue(loans, openLoans, today, horizon);
  c.overdueFinancing = countDue(financing, openFinancing, first, yesterday);
  c.soonFinancing = countDue(financing, openFinancing, today, horizon);
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
