#pragma once
// The shared procedures every window leans on: the error report, the rights check, input checks and
// the handler guard that keeps errors from crossing the event loop.
#include <QString>

#include <exception>
#include <utility>

#include "app/data/AppError.h"
#include "platform/Dialogs.h"

class QWidget;
class QLineEdit;
class QPlainTextEdit;

// Defined with the data access: undoes any transaction a failed handler left open.
void RollbackOpenTransactions();

// Shows "程序出现异常！" with the error's number and description (and "窗口：" with the window's
// caption when a window is given), preceded by `context`. Number 0 shows nothing.
void ReportRuntimeError(const QString& context, QWidget* form, const AppError& error);
// The text ReportRuntimeError shows.
QString RuntimeErrorText(const QString& context, QWidget* form, const AppError& error);

// True when the logged-in user holds the right (role 3 holds all); else says "权限不足！".
bool CheckUserRight(const QString& right);
// Whether a comma list holds `item` as a whole element (blanks around elements ignored).
bool ListHasItem(const QString& commaList, const QString& item);

// mode 1: the text must be a number (digits and one "."); other modes: the text must not be empty.
// A failure says so with the caption, marks the box (and a bad number is reset to "0").
bool ValidateTextInput(QLineEdit* box, const QString& caption, int mode);
// Focus and the cyan background that marks a field to correct.
void MarkInputInvalid(QWidget* box);
// Removes the mark.
void ClearInputMark(QWidget* box);
// Selects the whole line around the caret of a multi-line box.
void SelectCurrentLine(QPlainTextEdit* box);
// The range SelectCurrentLine selects: start and length for caret position `caret`.
std::pair<int, int> CurrentLineRange(const QString& text, int caret);
// The program keeps no operation log; callers say what they did and nothing is stored.
void WriteOperationLog(const QString& description);

// Runs an event handler: an AppError (or any other exception) rolls back an open transaction and is
// reported with the handler's context and window. Returns false when the handler failed.
template <class F>
bool Guarded(const QString& context, QWidget* form, F&& handler) {
  try {
    std::forward<F>(handler)();
    return true;
  } catch (const ProgramEnded&) {
    return false;
  } catch (const AppError& e) {
    RollbackOpenTransactions();
    ReportRuntimeError(context, form, e);
  } catch (const std::exception& e) {
    RollbackOpenTransactions();
    ReportRuntimeError(context, form, AppError(Err::InvalidCall, QString::fromLocal8Bit(e.what())));
  }
  return false;
}
