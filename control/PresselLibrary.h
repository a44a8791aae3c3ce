#pragma once
// The control library's own entry points: its version, the JPEG decoder it hands to the image
// core, and creating a control by the name a window design gives.
#include <QString>

class QWidget;

const char* PresselVersion();

// Gives the image core Qt's JPEG reader (JPEG only, never a guessed format). Buttons and the
// picture page call it when they are created; calling it again does nothing.
void PresselInstallPictureLoader();

// Creates the control a design names ("Pressel.pbCommand"); nullptr for an unknown name.
QWidget* PresselCreateControl(const QString& progId, QWidget* parent = nullptr);
