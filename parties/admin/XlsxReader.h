#pragma once
// Reading the first worksheet of an Office Open XML workbook (.xlsx) into the same cells the .xls
// reader gives, so that the import treats both alike. The parts are streamed out of the archive,
// never unpacked whole.
#include <QString>

#include "parties/admin/ExcelImport.h"

enum class XlsxRead {
  Done,
  NotAWorkbook,  // a ZIP that is no .xlsx: a macro-enabled workbook, an OpenDocument sheet, anything else
  Damaged,       // the archive or one of the parts it needs cannot be read
  TooLarge,      // a part holds more than kXlsxPartLimit bytes of XML
};

// The most XML one part of a workbook may unpack to.
inline constexpr qint64 kXlsxPartLimit = qint64(64) << 20;

// Reads the first sheet (by its order in the workbook) into `sheet`: shared strings with their
// rich-text runs joined and phonetic runs left out, inline strings, a formula's last value,
// booleans as 1 and 0, error cells as empty, dates by the cell's number format (1900 or 1904
// system). Gaps, and cells or rows without a position, are placed as the .xls reader places them.
XlsxRead ReadXlsxFirstSheet(const QString& path, ExcelSheet* sheet);
