#pragma once
// The one error type of the program: a number and a description, as the error report shows them.
// Database errors carry the driver's native code and message.
#include <QString>

#include <stdexcept>

struct AppError : std::runtime_error {
  AppError(int number, const QString& description, const QString& details = QString())
      : std::runtime_error(description.toStdString()), number(number), description(description), details(details) {}
  int number;
  QString description;
  // Set when the description is the system's own sentence for a driver failure: the number and the
  // driver's words, for the message box's details only.
  QString details;
};

// The sentences a user is told for a database failure the driver reports in its own words.
namespace DbFailure {
inline QString damaged(const QString& file) { return QStringLiteral("数据库文件已损坏，请从备份恢复：") + file; }
// A file that does not read as a database with the program's key: a damaged file and another
// program's file look alike there.
inline QString unreadable(const QString& file) { return QStringLiteral("数据库文件已损坏或不是本系统的数据库，请从备份恢复：") + file; }
inline QString noSystemTables(const QString& file) { return QStringLiteral("数据库文件中没有本系统的数据表：") + file; }
inline QString diskFull() { return QStringLiteral("磁盘空间不足，本次操作没有保存任何数据。"); }
inline QString readOnly() { return QStringLiteral("数据库文件是只读的，不能保存。"); }
// A journal, -wal or -shm beside the database that is no regular file with one link: it may hold what
// an unfinished save needs to be rolled back, so it is neither used nor to be deleted.
inline QString unsafeSideFile(const QString& file) {
  return QStringLiteral("数据库附属文件有多个硬链接或不是普通文件，为安全起见没有使用。它可能含有未完成保存的恢复数据，请勿删除，请让管理员处理：") + file;
}
inline QString sideFileInaccessible(const QString& file) {
  return QStringLiteral("数据库附属文件“") + file + QStringLiteral("”不能被当前系统账户打开，请让管理员处理。");
}
inline QString readWriteError(bool saving) {
  return saving ? QStringLiteral("读写数据库文件时出错，本次操作没有保存任何数据。") : QStringLiteral("读写数据库文件时出错。");
}
inline QString folderNotEntered(const QString& folder) {
  return QStringLiteral("无法进入数据文件夹“") + folder + QStringLiteral("”，请检查该文件夹的权限。");
}
// What two workstations on one server meet.
inline QString otherWorkstation() { return QStringLiteral("其他工作站正在使用这些数据，本次操作没有保存任何数据，请稍后重试。"); }
inline QString addedElsewhere() { return QStringLiteral("该记录已被其他工作站添加，请刷新后重试。"); }
inline QString connectionLost() { return QStringLiteral("与数据库服务器的连接已断开，本次操作没有保存任何数据。"); }
inline QString connectionLostAtCommit() {
  return QStringLiteral("与数据库服务器的连接在保存时断开，无法确定本次操作是否已保存，请刷新后核对再重做。");
}
// A text longer than its column; `field` is empty when the server does not name it.
inline QString textTooLong(const QString& field) {
  return field.isEmpty() ? QStringLiteral("输入的文字超过了数据库允许的长度，本次操作没有保存任何数据。")
                         : QStringLiteral("“") + field + QStringLiteral("”的文字超过了数据库允许的长度，本次操作没有保存任何数据。");
}
// "代码：n\r\n描述：text", the details of a translated failure.
inline QString details(int number, const QString& driverText) {
  return QStringLiteral("代码：") + QString::number(number) + QStringLiteral("\r\n描述：") + driverText;
}
}  // namespace DbFailure

// Error numbers the program raises itself (the numbers of the run-time errors users are told).
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
