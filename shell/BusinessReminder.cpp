#include "shell/BusinessReminder.h"

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

// The open instalments of one book (as its calendar finds them) counted by the database: a busy
// business has tens of thousands of them, and only the two numbers are shown.
int countDue(const SqlWithParams& open) {
  return static_cast<int>(Db().scalar(QStringLiteral("select count(*)") + open.sql, open.params).toLongLong());
}
}  // namespace

ReminderCounts CountBusinessReminders(const QDate& today, int daysAhead) {
  // The same rows as the calendars show: open rows of saved loans, and open rows of financing
  // records not voided. A row without a due date is neither overdue nor due (the range starts at
  // the first day of the calendars).
  const QString first = DateText(QDate(1900, 1, 1)), yesterday = DateText(today.addDays(-1));
  const QString from = DateText(today), horizon = DateText(today.addDays(daysAhead));
  ReminderCounts c;
  c.overdueLoans = countDue(OpenInstalmentsFrom(first, yesterday));
  c.soonLoans = countDue(OpenInstalmentsFrom(from, horizon));
  c.overdueFinancing = countDue(OpenPaymentRowsFrom(first, yesterday));
  c.soonFinancing = countDue(OpenPaymentRowsFrom(from, horizon));
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
