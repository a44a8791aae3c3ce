#pragma once
// The print document behind the print preview: A4 pages measured in twips, a grid laid out over as
// many pages as it needs (its header rows repeated on every page), and texts laid over single
// pages. It paints itself on any QPrinter: the preview's, a real printer's or a PDF file.
#include <QColor>
#include <QFont>
#include <QString>

#include <vector>

#include "platform/Grid.h"

#include <functional>

class QAction;
class QPainter;
class QPrintPreviewDialog;
class QPrinter;

// Adds "导出PDF" to a print preview's tool bar: the user chooses a file (".pdf" is added when
// missing) and `paint` draws the document on a PDF printer; false from it, or a file that could not
// be written, says "无法写入文件：" and the path.
QAction* AddPdfExport(QPrintPreviewDialog* preview, std::function<bool(QPrinter*)> paint);
// Writes the PDF file `path` with `paint` drawing on a PDF printer, under a temporary name renamed
// to `path` when whole (SafeFiles.h); false when it could not be written.
bool ExportPdf(const QString& path, const std::function<bool(QPrinter*)>& paint);

class PrintDocument {
 public:
  // Horizontal placement of a text against its x position.
  enum class Align { Left, Center, Right };

  // A4 is the only paper; 11906 x 16838 twips upright.
  static constexpr int kA4Width = 11906;
  static constexpr int kA4Height = 16838;
  // The least side margin a grid keeps when it is shrunk to fit the page.
  static constexpr int kMinSideMargin = 360;
  // The smallest print the shrinking goes to.
  static constexpr double kMinPointSize = 7;

  void setLandscape(bool on) { landscape_ = on; }
  bool landscape() const { return landscape_; }
  int pageWidth() const { return landscape_ ? kA4Height : kA4Width; }
  int pageHeight() const { return landscape_ ? kA4Width : kA4Height; }
  void setMargins(int left, int top, int right, int bottom);
  int marginLeft() const { return left_; }
  int marginTop() const { return top_; }
  int marginRight() const { return right_; }
  int marginBottom() const { return bottom_; }

  // Empties the document.
  void startDoc();
  // Copies what the grid shows (shown columns only) and breaks it into pages between the margins.
  // Every column is as wide as its widest text in the print font (a text column at most half the
  // page), so no digit is cut. A grid wider than the page is shrunk to fit, fonts and all, down to
  // kMinPointSize; a grid still wider goes on in bands of columns on the following pages, each band
  // repeating the first column.
  void renderGrid(const Grid& grid);
  // Closes the document; there is at least one page.
  void endDoc();
  int pageCount() const;
  // The factor by which the grid was shrunk to fit the page (1 when it fits).
  double gridScale() const { return scale_; }
  // The grid's left edge and width on the page, in twips.
  int gridLeft() const { return gridLeft_; }
  int gridWidth() const { return gridWidth_; }
  // Data rows (grid row numbers) printed on a page counted from 1.
  std::vector<int> rowsOnPage(int page) const;
  // The shown columns (counted among the shown ones from 0) printed on a page counted from 1.
  std::vector<int> columnsOnPage(int page) const;

  // Lays a text over a page (counted from 1): top of the text at y, placed against x.
  void addText(int page, const QString& text, const QString& family, double pointSize, Align align, int x, int y);

  // Paints every page on the printer; false when the printer cannot be opened or fails.
  bool print(QPrinter* printer) const;
  // Sets the printer's paper and orientation to the document's.
  void preparePrinter(QPrinter* printer) const;

 private:
  struct Cell {
    QString text;
    Qt::Alignment align;
    QColor fore;
    QColor back;
    int colSpan = 1;  // 0: covered by a merged neighbour
    int rowSpan = 1;
  };
  struct Text {
    int page;
    QString text;
    QString family;
    double pointSize;
    Align align;
    int x, y;
  };
  void paintPage(QPainter& p, int page, double dotsPerTwip) const;
  void paintRow(QPainter& p, int gridRow, int y, double dpt, const std::vector<int>& band) const;
  struct Page {
    int band = 0;
    std::vector<int> rows;
  };

  bool landscape_ = false;
  int left_ = 1440, top_ = 1440, right_ = 1440, bottom_ = 1440;
  bool hasGrid_ = false;
  int fixedRows_ = 0;
  std::vector<int> colWidths_;   // twips after scaling, shown columns
  std::vector<int> rowHeights_;  // twips after scaling
  std::vector<std::vector<Cell>> cells_;
  QColor gridColor_;
  QFont font_;
  double scale_ = 1;
  int gridLeft_ = 0, gridWidth_ = 0;
  std::vector<std::vector<int>> bands_;  // the columns of each band, left to right
  std::vector<Page> pages_;              // band by band, its rows page by page
  std::vector<Text> texts_;
};
