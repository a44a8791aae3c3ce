#pragma once
// The calculation tool's parts: each calculation registers itself under its "计算" key, so that the
// loan and the financing calculations live in files of their own.
#include <QJsonObject>
#include <QString>

#include <stdexcept>

// Invalid input: the message the window would show. The tool prints it on standard error, exit 2.
struct CalcInputError : std::runtime_error {
  explicit CalcInputError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

using CalcFunction = QJsonObject (*)(const QJsonObject& input);

// A file-scope object of this type adds its calculation to the tool.
struct CalcRegistration {
  CalcRegistration(const char* key, CalcFunction fn);
};

// The calculation registered under `key`, or nullptr.
CalcFunction FindCalculation(const QString& key);
// Runs one request (the whole JSON text of standard input). Returns the exit status; `out` gets the
// answer, `err` the message of invalid input.
int RunCalculation(const QByteArray& request, QByteArray* out, QString* err);
