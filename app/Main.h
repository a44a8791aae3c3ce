#pragma once
class frmMain;
// Program start: reads the connection settings and shows the main window. Returns the main window.
frmMain* Main();
