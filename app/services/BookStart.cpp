#include "app/services/BookStart.h"

#include "app/data/ConnectionSettings.h"
#include "app/data/DataAccess.h"
#include "app/services/LoginState.h"
#include "platform/Clock.h"

namespace {
std::function<void()>& listener() {
  static std::function<void()> l;
  return l;
}
}  // namespace

void SetBookStartListener(std::function<void()> l) { listener() = std::move(l); }

void MoveBookStartBack(const QDate& registered, const QDate& start) {
  QDate earliest = registered;
  if (start.isValid() && (!earliest.isValid() || start < earliest)) earliest = start;
  const QDate book = ParseDateText(gBookStartDate);
  // Before the first login ("No") there is nothing to move.
  if (!earliest.isValid() || !book.isValid() || earliest >= book) return;
  // The program shows the committed date; an earlier document of this same transaction may have
  // moved the row further already.
  const QDate stored = ParseDateText(VariantText(Db().scalar(QStringLiteral("select 建账日期 from PJ_Jq where 机器ID=?"), {static_cast<int>(gMachineId)})));
  if (stored.isValid() && earliest >= stored) return;
  const QString text = DateText(earliest);
  Db().Execute(QStringLiteral("update PJ_Jq set 建账日期=? where 机器ID=?"), {text, static_cast<int>(gMachineId)});
  // A save that fails to commit leaves the row as it was: the program and its status bar follow
  // only what the database keeps.
  Db().afterCommit([text] {
    gBookStartDate = text;
    if (listener()) listener()();
  });
}
