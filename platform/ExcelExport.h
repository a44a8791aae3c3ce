#pragma once
// Saving a grid as an Excel workbook (.xlsx): every shown cell as text, header rows included, with
// the header's merged captions and the totals row in red.
#include <QString>

class Grid;

// Writes the workbook; returns an empty text, or what went wrong (the file could not be written).
QString SaveGridAsWorkbook(const Grid& grid, const QString& path);
