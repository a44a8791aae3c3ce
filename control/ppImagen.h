#pragma once
// The picture page of the button: choose an image file, see it, and give it at once to the first
// of the selected buttons as its Imagen picture.
#include <QDialog>
#include <QList>
#include <QPointer>

#include <functional>
#include <memory>

namespace pressel {
class cImage32;
}
class pbCommand;
class QPushButton;

class ppImagen : public QDialog {
  Q_OBJECT
public:
  // The page's file filter as the page gives it ("name|patterns|..."), and as Qt's file dialogs
  // take it.
  static const char* const kFilter;
  static QString QtFilter();

  // How the page asks for a file: (parent, caption, Qt filter) -> path, empty when cancelled. By
  // default Qt's open-file dialog; the program and tests put their own chooser here.
  using FileChooser = std::function<QString(QWidget* parent, const QString& caption, const QString& filter)>;
  static void SetFileChooser(FileChooser chooser);

  explicit ppImagen(QWidget* parent = nullptr);
  ~ppImagen() override;

  // The buttons the page works on; only the first receives a picture.
  void setSelectedControls(const QList<pbCommand*>& controls);

  // What the button "图片(&I)" does: choose a file, load it, show it, store it into the first button.
  void Import();

  const pressel::cImage32& image() const { return *image_; }
  QPushButton* cmdImportar = nullptr;
  QWidget* Picture1 = nullptr;

private:
  std::unique_ptr<pressel::cImage32> image_;
  QList<QPointer<pbCommand>> selected_;
};
