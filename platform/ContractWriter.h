#pragma once
// Fills a .docx contract template: every "{名称}" placeholder (also written "{名称}$") in the main text,
// headers and footers is replaced by its value, wherever a word processor split it across formatting
// runs. Values are XML-escaped; a line break in a value becomes a line break in the document. The
// result is written beside the target and renamed into place, so a failure never leaves half a file.
#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

using ContractValues = std::vector<std::pair<QString, QString>>;  // placeholder ("{甲方}") -> value

// Replaces the placeholders in one WordprocessingML part; returns the new XML. `replaced` (if given)
// receives the number of occurrences replaced. Throws ContractError for XML that cannot be read.
QByteArray FillContractXml(const QByteArray& xml, const ContractValues& values, int* replaced = nullptr);

struct ContractError {
  QString message;
};

// Writes `resultPath` from `templatePath`; returns "" or the reason it failed ("找不到合同模板：" + path,
// a template that is no plain file (SafeFiles.h), a damaged template, a file that cannot be written). A placeholder the template lacks is skipped.
QString WriteContract(const QString& templatePath, const QString& resultPath, const ContractValues& values);

// The XML parts of a .docx (the names of its entries ending in ".xml" or ".rels") and their text,
// for checks; empty when the file cannot be read.
std::vector<std::pair<QString, QByteArray>> ReadDocxParts(const QString& path);
// Writes a .docx from parts (name, content); false when it cannot be written.
bool WriteDocxParts(const QString& path, const std::vector<std::pair<QString, QByteArray>>& parts);
