#include "ppImagen.h"

#include "PresselLibrary.h"
#include "cImage32.h"
#include "pbCommand.h"

#include <QFile>
#include <QFileDialog>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

const char* const ppImagen::kFilter =
    "Images|*.bmp;*.gif;*.jpg;*.ico;*.png;*.wmf;*.emf;*.cur;*.jpeg|"
    "Bitmaps|*.bmp|GIF|*.gif|Icon|*.ico;*.cur|JPG|*.jpg;*.jpeg|"
    "Metafile|*.wmf;*emf|PNG|*.png|";

QString ppImagen::QtFilter() {
  const QStringList parts = QString::fromLatin1(kFilter).split(QLatin1Char('|'), Qt::SkipEmptyParts);
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    entries << QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1].split(QLatin1Char(';')).join(QLatin1Char(' ')));
  return entries.join(QStringLiteral(";;"));
}

static ppImagen::FileChooser& Chooser() {
  static ppImagen::FileChooser chooser;
  return chooser;
}

void ppImagen::SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }

namespace {
// Shows the page's picture at its own size in the top-left corner.
class Preview : public QWidget {
public:
  Preview(const pressel::cImage32& image, QWidget* parent) : QWidget(parent), image_(image) {
    setMinimumSize(160, 120);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QImage canvas(size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(palette().color(QPalette::Base));
    image_.Render({canvas.bits(), canvas.width(), canvas.height(), canvas.bytesPerLine()}, 0, 0, 0, 0, 100);
    QPainter(this).drawImage(0, 0, canvas);
  }

private:
  const pressel::cImage32& image_;
};
}  // namespace

ppImagen::ppImagen(QWidget* parent) : QDialog(parent), image_(std::make_unique<pressel::cImage32>()) {
  PresselInstallPictureLoader();
  setWindowTitle(QStringLiteral("真彩图片"));
  cmdImportar = new QPushButton(QStringLiteral("图片(&I)"), this);
  cmdImportar->setObjectName(QStringLiteral("cmdImportar"));
  Picture1 = new Preview(*image_, this);
  Picture1->setObjectName(QStringLiteral("Picture1"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(cmdImportar, 0, Qt::AlignLeft);
  layout->addWidget(Picture1, 1);
  connect(cmdImportar, &QPushButton::clicked, this, &ppImagen::Import);
}

ppImagen::~ppImagen() = default;

void ppImagen::setSelectedControls(const QList<pbCommand*>& controls) {
  selected_.clear();
  for (pbCommand* c : controls) selected_ << c;
}

void ppImagen::Import() {
  const QString caption = windowTitle();
  const QString path = Chooser() ? Chooser()(this, caption, QtFilter())
                                 : QFileDialog::getOpenFileName(this, caption, QString(), QtFilter());
  if (path.isEmpty()) return;  // cancelled: nothing changes
  image_->LoadPicture_File(QFile::encodeName(path).toStdString());
  Picture1->update();
  std::vector<uint8_t> bytes;
  if (!image_->SaveToStream(bytes)) bytes.clear();
  if (!selected_.isEmpty() && selected_.first())
    selected_.first()->setImagen(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}
