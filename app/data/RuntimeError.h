#pragma once
// The error report every layer uses: a failed statement or handler is shown to the user with its
// context and window, and any transaction it left open is undone.
#include <QString>

#include <exception>
#include <utility>

#include "app/data/AppError.h"
#include "platform/Dialogs.h"

class QWidget;

// Defined with the data access: undoes any transaction a failed handler left open.
void RollbackOpenTransactions();

// Shows "程序出现异常！" with the error's number and description (and "窗口：" with the window's
// caption when a window is given), preceded by `context`; a failure the data layer words itself
// (one with details) shows its sentence alone, the details behind the button. Number 0 shows nothing.
void ReportRuntimeError(const QString& context, QWidget* form, const AppError& error);
// The text ReportRuntimeError shows.
QString RuntimeErrorText(const QString& context, QWidget* form, const AppError& error);

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
