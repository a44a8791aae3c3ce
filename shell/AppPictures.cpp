#include "shell/AppPictures.h"

#include <QFont>
#include <QPainter>
#include <QRadialGradient>

QPixmap AppEmblem(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient g(size * 0.35, size * 0.3, size * 0.75);
  g.setColorAt(0, QColor(255, 236, 160));
  g.setColorAt(0.6, QColor(228, 170, 40));
  g.setColorAt(1, QColor(170, 110, 10));
  p.setBrush(g);
  p.setPen(QPen(QColor(140, 90, 10), qMax(1, size / 32)));
  p.drawEllipse(QRectF(size * 0.06, size * 0.06, size * 0.88, size * 0.88));
  p.setPen(QPen(QColor(255, 248, 220, 180), qMax(1, size / 40)));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(size * 0.16, size * 0.16, size * 0.68, size * 0.68));
  QFont f;
  f.setPixelSize(int(size * 0.42));
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(150, 30, 20));
  p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, QStringLiteral("贷"));
  return pm;
}
