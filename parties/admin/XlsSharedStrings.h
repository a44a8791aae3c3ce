#pragma once
// A readable copy of an Excel 97-2003 workbook whose shared-string table holds an empty string (a
// text cell of no characters, as office suites save formula results "" pasted as values). FreeXL
// gives up on such a table although the workbook is sound; the copy holds a marker text in place
// of every empty shared string, which the import reads back as an empty cell.
#include <QString>

// Writes the copy to `copyPath` and sets `marker` when the workbook at `path` is a compound file
// with a BIFF8 workbook stream whose shared-string table holds an empty string. Returns false and
// writes nothing in every other case (no such string, another format, a damaged file): the file is
// then read as it is, and a damaged one refused as such.
bool CopyWithMarkedEmptyStrings(const QString& path, const QString& copyPath, QString* marker);

// Whether a compound file is a password-protected Office workbook: the encrypted package of an
// .xlsx, which the office programs keep in a compound file as they keep an .xls.
bool IsEncryptedPackage(const QByteArray& file);
