#include "app/services/ErrorReport.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/services/LoginState.h"
#include "platform/Money.h"

bool ListHasItem(const QString& commaList, const QString& item) {
  const QString want = item.trimmed();
  if (want.isEmpty()) return false;
  for (const QString& part : commaList.split(QLatin1Char(',')))
    if (part.trimmed() == want) return true;
  return false;
}

bool CheckUserRight(const QString& right) {
  if (gCurrentUserRole == 3) return true;
  if (ListHasItem(gCurrentUserRights, right)) return true;
  MsgBox(QStringLiteral("权限不足！"), Mb::Critical);
  return false;
}

bool ValidateTextInput(QLineEdit* box, const QString& caption, int mode) {
  if (mode != kNumberInput && mode != kMoneyInput && mode != kRateInput) {
    if (!box->text().isEmpty()) return true;
    MsgBox(caption + QStringLiteral("不能为空！"), Mb::Critical);
    MarkInputInvalid(box);
    return false;
  }
  double value = 0;
  const bool number = Money::parse(box->text(), &value);
  const bool fits = mode == kNumberInput || (mode == kRateInput && Money::withinCeiling(value, Money::kMaxRate)) ||
                    (mode == kMoneyInput && Money::withinCeiling(value) && Money::hasAtMostPlaces(box->text()));
  if (number && fits) return true;
  MsgBox(caption + QStringLiteral("输入不合法！"), Mb::Critical);
  MarkInputInvalid(box);
  box->setText(QStringLiteral("0"));
  box->selectAll();
  return false;
}

void MarkInputInvalid(QWidget* box) {
  box->setFocus();
  box->setStyleSheet(QStringLiteral("background-color: #00FFFF;"));
}

void ClearInputMark(QWidget* box) { box->setStyleSheet(QString()); }

std::pair<int, int> CurrentLineRange(const QString& text, int caret) {
  const int len = static_cast<int>(text.size());
  int p = std::clamp(caret, 0, len);
  // Character positions here count from 1, the caret from 0, as the edit box reports them.
  auto at = [&](int pos1) { return text.at(pos1 - 1); };
  int s = p;
  while (s > 0) {
    if (at(s) == QLatin1Char('\n')) break;
    --s;
  }
  int e;
  if (p == len) {
    e = p;
  } else {
    int i = p + 1;
    while (i < len) {
      if (at(i) == QLatin1Char('\n')) break;
      ++i;
    }
    e = i;
  }
  return {s, e - s};
}

void SelectCurrentLine(QPlainTextEdit* box) {
  QTextCursor c = box->textCursor();
  auto [start, length] = CurrentLineRange(box->toPlainText(), c.position());
  c.setPosition(start);
  c.setPosition(start + length, QTextCursor::KeepAnchor);
  box->setTextCursor(c);
}

void WriteOperationLog(const QString& description) { Q_UNUSED(description); }
