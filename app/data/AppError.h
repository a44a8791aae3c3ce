#pragma once
// The one error type of the program: a number and a description, as the error report shows them.
// Database errors carry the driver's native code and message.
#include <QString>

#include <stdexcept>

struct AppError : std::runtime_error {
  AppError(int number, const QString& description)
      : std::runtime_error(description.toStdString()), number(number), description(description) {}
  int number;
  QString description;
};

// Error numbers the program raises itself (the numbers users of the old program know).
namespace Err {
enum : int {
  InvalidCall = 5,         // invalid argument
  SubscriptRange = 9,      // index outside an array
  TypeMismatch = 13,
  ObjectNotSet = 91,       // a recordset or connection that is not open
  NoCurrentRecord = 3021,  // reading a field at EOF/BOF
  NotUpdatable = 3251,     // AddNew/Update on a recordset that cannot be edited
  ItemNotFound = 3265,     // unknown field name
  ClosedObject = 3704,     // operation on a closed recordset
  Database = -2147467259,  // generic provider failure when the driver gives no code
};
}
