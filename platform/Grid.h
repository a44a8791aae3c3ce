#pragma once
// The list grid of every window. Rows and columns are counted as the program counts them: row 0 is
// the first header (fixed) row, the data rows follow the fixed rows, column 0 is the first field.
// It offers header rows with merged group captions, column formats ("Currency", "0.00", ...), cell
// colours, row heights in twips and a totals row that the grid marks as such, so that no caption
// can make it pass for a data row.
#include <QColor>
#include <QFont>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <vector>

class QTableView;
class GridModel;
class GridTable;
struct GridCellStyle;

// A colour as the program's texts write it: a blue-green-red number (255 is red, &H87A242 a
// blue-green), or a system colour &H800000nn (&H80000010 is the shadow of buttons).
QColor VbColor(qint64 value);

// Screen measures: 15 twips to the pixel (96 dots per inch).
constexpr int kTwipsPerPixel = 15;
// The height of a row unless set otherwise.
constexpr int kDefaultRowHeightTwips = 300;

// The numeric value of a text as the totals read it: its leading number ("10.5 元" -> 10.5), 0 when
// it does not start with one.
double LeadingNumber(const QString& text);
// A number as a column format shows it: "Currency" (two decimals with thousands separators),
// "#,##0.00"-style masks, "0", "0.00", "0.0000"...; any other format leaves the plain number.
QString FormatNumber(double value, const QString& format);

class Grid : public QWidget {
  Q_OBJECT
 public:
  explicit Grid(QWidget* parent = nullptr);
  ~Grid() override;

  // ---- size (rows include the fixed rows)
  int rows() const;
  void setRows(int n);  // never fewer than the fixed rows; new rows are empty
  int cols() const;
  void setCols(int n);
  int fixedRows() const { return fixedRows_; }
  void setFixedRows(int n);  // header rows; their texts are kept apart from the data
  int fixedCols() const { return fixedCols_; }
  void setFixedCols(int n);  // leading columns painted in the header colour
  int dataRowCount() const { return rows() - fixedRows_; }
  // Removes every data row; header texts and columns stay.
  void clearData();

  // ---- cells
  // The cell's own text (not formatted).
  QString textMatrix(int row, int col) const;
  void setTextMatrix(int row, int col, const QString& text);
  // The cell's value: a number, a text or nothing, as it was filled.
  QVariant value(int row, int col) const;
  void setValue(int row, int col, const QVariant& v);
  // The cell's amount as totals add it: a number as it is, a text by its leading number.
  double number(int row, int col) const;
  // The sums of number() down each of `columns` over rows first..last (grid rows), in one pass.
  std::vector<double> sumColumns(const std::vector<int>& columns, int first, int last) const;
  // The text as shown, with the column's format applied to numbers.
  QString displayText(int row, int col) const;
  Qt::Alignment cellAlignment(int row, int col) const;
  // Appends a data row with the given texts; returns its row number.
  int addRow(const QStringList& cells = {});
  void removeRow(int row);
  // All cells of a data row in column order.
  QStringList rowTexts(int row) const;

  // ---- the current cell (-1 when there is none)
  int row() const;
  int col() const;
  void setRow(int row);
  void setCurrentCell(int row, int col);

  // ---- columns and rows
  QString colFormat(int col) const;
  void setColFormat(int col, const QString& format);
  int colWidth(int col) const;  // twips
  void setColWidth(int col, int twips);
  bool colHidden(int col) const;
  void setColHidden(int col, bool hidden);
  // Alignment of a column's data cells; 0 means by content (numbers right, text left).
  void setColAlignment(int col, Qt::Alignment alignment);
  int rowHeight(int row) const;  // twips
  void setRowHeight(int row, int twips);
  // The same height for rows first..last: the whole body in one pass (row by row, each change would
  // move every row below it again).
  void setRowHeights(int first, int last, int twips);
  // Fits every column to its widest text, header captions and totals included. A text column is at
  // most a third of the window wide (at least its caption), its cut cells showing their whole text
  // as their tip; a column holding numbers is never narrower than its widest number.
  void autoSizeColumns();

  // ---- colours
  QColor backColor() const { return backColor_; }
  void setBackColor(const QColor& c);
  QColor gridColor() const { return gridColor_; }
  void setGridColor(const QColor& c);
  QColor fixedBackColor() const { return fixedBackColor_; }
  void setFixedBackColor(const QColor& c);
  void setSelectionColors(const QColor& back, const QColor& fore);
  // Cell colours; a cell without its own colour shows the grid's (invalid colour = none set).
  QColor cellBackColor(int row, int col) const;
  void setCellBackColor(int row1, int col1, int row2, int col2, const QColor& c);
  QColor cellForeColor(int row, int col) const;
  void setCellForeColor(int row1, int col1, int row2, int col2, const QColor& c);
  void setRowForeColor(int row, const QColor& c);
  // A data cell's own font and tip (the whole text where the column cuts it short).
  void setCellFont(int row, int col, const QFont& font);
  void setCellToolTip(int row, int col, const QString& text);
  QString cellToolTip(int row, int col) const;

  // ---- merging of equal neighbouring cells
  // A header row merges equal captions side by side; a data row merges its equal cells likewise.
  void setMergeRow(int row, bool on);
  bool mergeRow(int row) const;
  // The header cells of a column merge top to bottom when equal.
  void setMergeCol(int col, bool on);
  bool mergeCol(int col) const;
  struct CellRange {
    int top = 0, left = 0, bottom = 0, right = 0;
    bool operator==(const CellRange&) const = default;
  };
  // The block of merged cells that holds a cell (the cell alone when it is not merged).
  CellRange mergedRange(int row, int col) const;

  // ---- totals row
  void setTotalsRow(int row, bool on);
  bool isTotalsRow(int row) const;

  // ---- filling
  // Replaces columns and data rows: one column per name, every header row holding the names (no
  // merging, formats or column alignments left from before), one data row per list of values, the
  // current row on the first data row.
  void loadData(const QStringList& columns, const std::vector<QVariantList>& rows);
  // The same, taking the rows over instead of sharing them.
  void loadData(const QStringList& columns, std::vector<QVariantList>&& rows);

  // Read-only unless set; an edited cell keeps the typed text as its value.
  void setEditable(bool on);

  // The view inside, for what the grid does not offer itself.
  QTableView* table() const;

 signals:
  void cellClicked(int row, int col);
  void cellDoubleClicked(int row, int col);
  void currentCellChanged(int row, int col);
  void cellEdited(int row, int col);

 protected:
  bool event(QEvent* e) override;

 private:
  friend class GridHeader;
  friend class GridDelegate;
  friend class GridModel;
  // Changes the looks of the data cells of a block and repaints it once.
  template <typename Change>
  void changeCells(int row1, int col1, int row2, int col2, Change change);
  void formatsChanged();
  void refreshRowSpans(int row);
  void refreshHeader();
  void refreshLook();
  void applyLook();
  bool validCell(int row, int col) const;
  void checkCell(int row, int col) const;
  void checkDataCell(int row, int col) const;
  void checkCol(int col) const;
  CellRange headerBlock(int row, int col) const;

  GridModel* model_ = nullptr;
  bool lookPending_ = false;
  // Widest text of each column over the first measuredRows_ data rows, so that fitting the columns
  // again after rows were only added (a totals row) measures just the new rows. Any other change
  // of the body's texts forgets it.
  int measuredRows_ = 0;
  std::vector<int> measuredWidths_;
  std::vector<bool> measuredNumbers_;  // the column shows a number in some row
  QFont measuredFont_;
  GridTable* table_ = nullptr;
  int fixedRows_ = 1;
  int fixedCols_ = 0;
  std::vector<QStringList> header_;    // one list per fixed row, one text per column
  std::vector<int> headerHeights_;     // twips per fixed row
  std::vector<bool> headerMergeRow_;
  std::vector<bool> mergeCol_;
  QStringList formats_;
  std::vector<int> alignments_;        // Qt::Alignment per column, 0 = by content
  QColor backColor_ = Qt::white;
  QColor gridColor_ = QColor(192, 192, 192);
  QColor fixedBackColor_ = QColor(240, 240, 240);
  QColor selectionBack_ = QColor(0, 120, 215);
  QColor selectionFore_ = Qt::white;
};
