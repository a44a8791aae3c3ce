#include "PresselLibrary.h"

#include "cImage32.h"
#include "pbCommand.h"

#include <QBuffer>
#include <QImageReader>

#include <mutex>

const char* PresselVersion() { return "2.1.1"; }

// JPEG through Qt's reader with the format fixed: anything that is not a JPEG fails rather than
// being taken by another of Qt's readers.
static bool ReadJpeg(std::span<const uint8_t> data, pressel::cImage32& target) {
  QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
  QBuffer buf(&bytes);
  if (!buf.open(QIODevice::ReadOnly)) return false;
  QImageReader reader(&buf, "jpeg");
  reader.setAutoDetectImageFormat(false);
  const QSize size = reader.size();
  if (!size.isValid() || qint64(size.width()) * size.height() > pressel::kMaxPixels) return false;
  const QImage img = reader.read().convertToFormat(QImage::Format_RGB32);
  if (img.isNull() || !target.InitializeDIB(img.width(), img.height())) return false;
  for (int y = 0; y < img.height(); ++y) {
    const QRgb* s = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    uint8_t* d = target.TopRow(y);
    for (int x = 0; x < img.width(); ++x, d += 4) {
      d[0] = uint8_t(qBlue(s[x]));
      d[1] = uint8_t(qGreen(s[x]));
      d[2] = uint8_t(qRed(s[x]));
      d[3] = 0;  // no alpha, as the other readers leave opaque pictures
    }
  }
  return true;
}

void PresselInstallPictureLoader() {
  static std::once_flag once;
  std::call_once(once, [] { pressel::cImage32::SetPictureLoader(ReadJpeg); });
}

QWidget* PresselCreateControl(const QString& progId, QWidget* parent) {
  if (progId.compare(QLatin1String("Pressel.pbCommand"), Qt::CaseInsensitive) == 0) return new pbCommand(parent);
  return nullptr;
}
