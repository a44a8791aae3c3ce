#include "platform/ExcelExport.h"

#include <QFile>

#include <xlsxwriter.h>

#include <vector>

#include "platform/Grid.h"
#include "platform/SafeFiles.h"

namespace {
// The workbook written to `file`; "" or what went wrong, naming `path`, the name the user chose.
QString writeWorkbook(const Grid& grid, const QString& file, const QString& path) {
  lxw_workbook* book = workbook_new(QFile::encodeName(file).constData());
  if (!book) return QStringLiteral("无法创建文件：") + path;
  lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);

  // Every cell is stored as text ("@"), as the lists show it.
  lxw_format* text = workbook_add_format(book);
  format_set_num_format(text, "@");
  lxw_format* header = workbook_add_format(book);
  format_set_num_format(header, "@");
  format_set_bold(header);
  format_set_align(header, LXW_ALIGN_CENTER);
  format_set_align(header, LXW_ALIGN_VERTICAL_CENTER);
  format_set_border(header, LXW_BORDER_THIN);
  lxw_format* totals = workbook_add_format(book);
  format_set_num_format(totals, "@");
  format_set_font_color(totals, LXW_COLOR_RED);

  std::vector<int> shown;
  for (int c = 0; c < grid.cols(); ++c)
    if (!grid.colHidden(c)) shown.push_back(c);
  std::vector<int> position(static_cast<size_t>(grid.cols()), -1);
  for (size_t i = 0; i < shown.size(); ++i) position[static_cast<size_t>(shown[i])] = static_cast<int>(i);

  for (size_t i = 0; i < shown.size(); ++i) {
    const auto c = static_cast<lxw_col_t>(i);
    worksheet_set_column_pixels(sheet, c, c, static_cast<uint32_t>(grid.colWidth(shown[i]) / kTwipsPerPixel), text);
  }

  lxw_error error = LXW_NO_ERROR;
  for (int r = 0; r < grid.rows() && error == LXW_NO_ERROR; ++r) {
    lxw_format* format = r < grid.fixedRows() ? header : (grid.isTotalsRow(r) ? totals : text);
    for (int c : shown) {
      Grid::CellRange b = grid.mergedRange(r, c);
      int first = -1, last = -1;
      for (int k = b.left; k <= b.right; ++k)
        if (position[static_cast<size_t>(k)] >= 0) {
          if (first < 0) first = k;
          last = k;
        }
      if (b.top != r || first != c) continue;  // part of a block written with its first cell
      const QByteArray value = grid.displayText(r, c).toUtf8();
      const auto row = static_cast<lxw_row_t>(r);
      const auto col = static_cast<lxw_col_t>(position[static_cast<size_t>(c)]);
      if (b.bottom > b.top || last > first) {
        error = worksheet_merge_range(sheet, row, col, static_cast<lxw_row_t>(b.bottom),
                                      static_cast<lxw_col_t>(position[static_cast<size_t>(last)]), value.constData(), format);
      } else if (!value.isEmpty()) {
        error = worksheet_write_string(sheet, row, col, value.constData(), format);
      } else if (format != text) {
        error = worksheet_write_blank(sheet, row, col, format);
      }
      if (error != LXW_NO_ERROR) break;
    }
  }
  lxw_error closed = workbook_close(book);
  if (error == LXW_NO_ERROR) error = closed;
  if (error != LXW_NO_ERROR) return QString::fromUtf8(lxw_strerror(error)) + QStringLiteral("：") + path;
  return {};
}
}  // namespace

QString SaveGridAsWorkbook(const Grid& grid, const QString& path) {
  // The library opens the file by its name only when the workbook is closed: it writes a fresh
  // name of our own, and the name chosen gets the workbook only when it is whole.
  QString failure;
  const bool saved = WriteBesideAndRename(path, MaskedMode(0666), [&](int, const QString& temp) {
    failure = writeWorkbook(grid, temp, path);
    return failure.isEmpty();
  });
  if (!saved && failure.isEmpty()) failure = QStringLiteral("无法创建文件：") + path;
  return failure;
}
