#pragma once
// The program's buttons: one look for every window, button arrays that report the index of the
// button clicked, a window's default button (clicked by Enter), and pictures from Qt images.
#include <initializer_list>

#include <QImage>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

#include "pbCommand.h"

// A button in the program's look with the caption ("登录(&Z)": Alt+Z clicks it).
pbCommand* MakeButton(const QString& caption, QWidget* parent = nullptr);
// Gives an existing button the program's look.
void ApplyButtonLook(pbCommand* button);

// Buttons that share one handler and are told apart by their index, as a window's button arrays are.
class ButtonArray : public QObject {
  Q_OBJECT
public:
  explicit ButtonArray(QObject* parent = nullptr) : QObject(parent) {}
  // Makes the element `index` (replacing nothing: an index already taken returns that button).
  pbCommand* add(int index, const QString& caption, QWidget* parent);
  // Takes an existing button in as element `index`.
  void adopt(int index, pbCommand* button);
  pbCommand* at(int index) const;
  pbCommand* operator[](int index) const { return at(index); }
  QList<int> indexes() const { return buttons_.keys(); }
  int count() const { return int(buttons_.size()); }
  // The index of a button of this array, or -1.
  int indexOf(const pbCommand* button) const;

signals:
  void clicked(int index);

private:
  QMap<int, QPointer<pbCommand>> buttons_;
};

// Marks the button as its window's default button: it is drawn as such, and Enter pressed anywhere
// in the window that does not use Enter itself clicks it. A window has one default button; marking
// another moves the mark. nullptr is ignored.
void MarkDefaultButton(pbCommand* button);
// The row of command buttons at the foot of a window: pushed to the right, in the order given.
class QHBoxLayout;
QHBoxLayout* RightAlignedButtons(std::initializer_list<QWidget*> buttons);
// The window's default button, or nullptr.
pbCommand* DefaultButtonOf(QWidget* window);

// Gives the button a picture (Qt's standard icons, images drawn in code), drawn beside the caption.
void SetButtonPicture(pbCommand* button, const QImage& image);
