#pragma once
// The layout the report windows share: a filter row ending in the window's command buttons, the
// first of them the default, and the result grid below.
#include <QStringList>

class ButtonArray;
class Grid;
class QDialog;
class QHBoxLayout;

// Adds the buttons (named "<name>_<index>") to the end of `top`, puts `top` over a new grid "Fg"
// and returns the grid.
Grid* LayoutReportWindow(QDialog* window, QHBoxLayout* top, ButtonArray* buttons, const QString& name, const QStringList& captions);
