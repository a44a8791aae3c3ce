#include "pbPaint.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pbPaint {

static int Clamp255(int v) { return std::clamp(v, 0, 255); }

quint32 Shift(quint32 c, int n, bool xp, bool soft) {
  if (soft) n /= 2;
  if (n == 0) return c & 0xFFFFFF;
  const int r = Red(c) + n, g = Green(c) + n;
  const int b = xp ? Blue(c) + n * Blue(c) / 192 : Blue(c) + n;
  return Rgb(Clamp255(r), Clamp255(g), Clamp255(b));
}

quint32 Lighten(quint32 c, int n) {
  auto ch = [n](int v) { return std::min(255, n + (255 - n) * v / 255); };
  return Rgb(ch(Red(c)), ch(Green(c)), ch(Blue(c)));
}

int RoundEven(double v) { return int(std::nearbyint(v)); }  // the default mode rounds halves to even

int RampAmount(int k, int ht, int y) {
  if (ht == 0) return 0;
  const float factor = float(k) / float(ht);
  return RoundEven(-(double(factor) * y));
}

void Raster::Pixel(int x, int y, quint32 c) { Put(x, y, ToPixel(c)); }

void Raster::Fill(int x, int y, int w, int h, quint32 c) {
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min<qint64>(qint64(x) + w, img_.width()), y1 = std::min<qint64>(qint64(y) + h, img_.height());
  const QRgb p = ToPixel(c);
  for (int yy = y0; yy < y1; ++yy) {
    QRgb* row = reinterpret_cast<QRgb*>(img_.scanLine(yy));
    std::fill(row + x0, row + std::max(x0, x1), p);
  }
}

void Raster::Frame(int x, int y, int w, int h, quint32 c) {
  if (w <= 0 || h <= 0) return;
  Fill(x, y, w, 1, c);
  Fill(x, y + h - 1, w, 1, c);
  Fill(x, y, 1, h, c);
  Fill(x + w - 1, y, 1, h, c);
}

void Raster::Line(int x1, int y1, int x2, int y2, quint32 c) {
  // Level and upright lines, most of what the looks draw, are a run of one row or column: the
  // pixels from the start up to, not including, the end, clipped before they are counted.
  auto run = [](int from, int to, int size, int& start, int& length) {
    const qint64 lo = from < to ? qint64(from) : qint64(to) + 1, hi = from < to ? qint64(to) : qint64(from) + 1;
    start = int(std::clamp<qint64>(lo, 0, size));
    length = int(std::clamp<qint64>(hi, 0, size)) - start;
  };
  int start = 0, length = 0;
  if (y1 == y2 && x1 != x2) {
    run(x1, x2, img_.width(), start, length);
    Fill(start, y1, length, 1, c);
    return;
  }
  if (x1 == x2 && y1 != y2) {
    run(y1, y2, img_.height(), start, length);
    Fill(x1, start, 1, length, c);
    return;
  }
  const QRgb p = ToPixel(c);
  // Bresenham, stopping before the end point.
  const int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
  const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  int x = x1, y = y1;
  while (x != x2 || y != y2) {
    Put(x, y, p);
    const int e2 = 2 * err;
    if (e2 >= dy) { err += dy; x += sx; }
    if (e2 <= dx) { err += dx; y += sy; }
  }
}

bool InEllipse(int x, int y, int w, int h, int px, int py) {
  if (w <= 0 || h <= 0) return false;
  const double rx = w / 2.0, ry = h / 2.0;
  const double dx = (px + 0.5 - (x + rx)) / rx, dy = (py + 0.5 - (y + ry)) / ry;
  return dx * dx + dy * dy <= 1.0;
}

void Raster::Ellipse(int x, int y, int w, int h, quint32 pen, quint32 brush) {
  const QRgb pp = ToPixel(pen), bp = ToPixel(brush);
  for (int py = std::max(y, 0); py < std::min(y + h, img_.height()); ++py)
    for (int px = std::max(x, 0); px < std::min(x + w, img_.width()); ++px) {
      if (!InEllipse(x, y, w, h, px, py)) continue;
      Put(px, py, InEllipse(x + 2, y + 2, w - 4, h - 4, px, py) ? bp : pp);
    }
}

void Raster::Bevel(int W, int Ht, quint32 c1, quint32 c2, quint32 c3, quint32 c4, int a, bool outerOnly) {
  const int e = std::abs(a), x = W + a - 1, y = Ht + a - 1;
  MoveTo(e, y);
  LineTo(e, e, c1);
  LineTo(x, e, c1);
  LineTo(x, y, c2);
  LineTo(e - 1, y, c2);
  if (outerOnly) return;
  MoveTo(e + 1, y - 1);
  LineTo(e + 1, e + 1, c3);
  LineTo(x - 1, e + 1, c3);
  LineTo(x - 1, y - 1, c4);
  LineTo(e, y - 1, c4);
}

void Raster::FocusMark(const QRect& r) {
  if (r.width() <= 0 || r.height() <= 0) return;
  auto flip = [this](int x, int y) {
    if (x < 0 || y < 0 || x >= img_.width() || y >= img_.height()) return;
    QRgb& p = reinterpret_cast<QRgb*>(img_.scanLine(y))[x];
    p = qRgb(255 - qRed(p), 255 - qGreen(p), 255 - qBlue(p));
  };
  // Walk the rectangle's border once, inverting every other pixel.
  const int l = r.left(), t = r.top(), rr = r.left() + r.width() - 1, b = r.top() + r.height() - 1;
  int n = 0;
  auto step = [&](int x, int y) { if ((n++ & 1) == 0) flip(x, y); };
  for (int x = l; x <= rr; ++x) step(x, t);
  for (int y = t + 1; y <= b; ++y) step(rr, y);
  if (b > t) for (int x = rr - 1; x >= l; --x) step(x, b);
  if (rr > l) for (int y = b - 1; y > t; --y) step(l, y);
}

QRegion WindowRegion(int type, int W, int Ht) {
  if (W <= 0 || Ht <= 0) return QRegion();
  if (type == 13) {
    QRegion r;
    for (int y = 0; y < Ht; ++y) {
      int x0 = -1, x1 = -1;
      for (int x = 0; x < W; ++x)
        if (InEllipse(0, 0, W, Ht, x, y)) { if (x0 < 0) x0 = x; x1 = x; }
      if (x0 >= 0) r += QRect(x0, y, x1 - x0 + 1, 1);
    }
    return r;
  }
  QRegion r(0, 0, W, Ht);
  auto cut = [&r](int l, int t, int rr, int b) { r -= QRegion(l, t, rr - l, b - t); };
  switch (type) {
    case 1: case 14:
      cut(0, 0, 1, 1);
      cut(W - 1, Ht - 1, W, Ht);
      [[fallthrough]];
    case 5:
      cut(0, Ht - 1, 1, Ht);
      cut(W - 1, 0, W, 1);
      break;
    case 3: case 4:
      cut(0, 0, 2, 1); cut(0, Ht - 1, 2, Ht); cut(W - 2, 0, W, 1); cut(W - 2, Ht - 1, W, Ht);
      cut(0, 1, 1, 2); cut(0, Ht - 2, 1, Ht - 1); cut(W - 1, 1, W, 2); cut(W - 1, Ht - 2, W, Ht - 1);
      break;
    default:
      break;
  }
  return r;
}

quint32 RampEntry(quint32 first, quint32 second, qint64 i, qint64 n) {
  auto ch = [&](int f, int s) -> int {
    if (n == 0) return f / 2 + s / 2;
    return int(f + qint64(s - f) * i / n);
  };
  return Rgb(ch(Red(first), Red(second)), ch(Green(first), Green(second)), ch(Blue(first), Blue(second)));
}

// Fills columns [x0, x0 + w) (or rows, when vertical) of the canvas with a ramp from a to b.
static void Band(QImage& img, int x0, int y0, int w, int h, quint32 a, quint32 b, bool vertical) {
  if (w <= 0 || h <= 0) return;
  const qint64 n = vertical ? h - 1 : w - 1;
  for (int y = std::max(y0, 0); y < std::min(y0 + h, img.height()); ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = std::max(x0, 0); x < std::min(x0 + w, img.width()); ++x)
      row[x] = ToPixel(RampEntry(a, b, vertical ? y - y0 : x - x0, n));
  }
}

void Gradient(QImage& img, int W, int Ht, quint32 first, quint32 second, int direction) {
  if (W <= 0 || Ht <= 0) return;
  switch (direction) {
    case FillHorizontal: Band(img, 0, 0, W, Ht, first, second, false); break;
    case FillVertical: Band(img, 0, 0, W, Ht, first, second, true); break;
    case FillHorizontalMiddleOut: {
      const int half = RoundEven(W / 2.0), start = RoundEven(W / 2.0 - 1);
      Band(img, 0, 0, half, Ht, first, second, false);
      // The right half runs to the last column, so no column is left in the face colour.
      Band(img, start, 0, std::max(half, W - start), Ht, second, first, false);
      break;
    }
    case FillVerticalMiddleOut: {
      const int half = RoundEven(Ht / 2.0), start = RoundEven(Ht / 2.0 - 1);
      Band(img, 0, 0, W, half, first, second, true);
      Band(img, 0, start, W, std::max(RoundEven(Ht / 2.0 + 1), Ht - start), second, first, true);
      break;
    }
    case FillDownwardDiagonal:
    case FillUpwardDiagonal: {
      const qint64 n = qint64(W) + Ht - 2;
      for (int y = 0; y < std::min(Ht, img.height()); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        const int r = direction == FillDownwardDiagonal ? y : Ht - 1 - y;
        for (int x = 0; x < std::min(W, img.width()); ++x) row[x] = ToPixel(RampEntry(first, second, x + r, n));
      }
      break;
    }
    default:
      break;
  }
}

static bool IsBlank(const QString& s) {
  for (QChar c : s)
    if (c != QLatin1Char(' ')) return false;
  return true;
}

Layout ComputeLayout(int W, int Ht, int pw, int ph, int position, const QString& caption,
                     const TextMeasurer& measure, const Layout& previous) {
  Layout out = previous;
  int l, t, r, b;
  switch (position) {
    case 0: l = pw + 1; t = 1; r = W - 2; b = Ht - 2; break;
    case 1: l = 1; t = 1; r = W - pw - 2; b = Ht - 2; break;
    case 2: l = 1; t = ph + 1; r = W - 2; b = Ht - 2; break;
    case 3: l = 1; t = 1; r = W - 2; b = Ht - ph - 2; break;
    case 4: l = 1; t = 1; r = W - 2; b = Ht - 2; break;
    default: l = previous.left; t = previous.top; r = previous.right; b = previous.bottom; break;
  }
  // A control too small for its picture still measures, with no room to wrap into.
  const QPoint end = measure(l, t, std::max(r, l), std::max(b, t), caption);
  r = end.x();
  b = end.y();
  int dx = 0, dy = 0;
  switch (position) {
    case 1: dx = (W - r - pw - 4) / 2; dy = (Ht - b) / 2; break;
    case 3: dx = (W - r) / 2; dy = (Ht - b - ph - 4) / 2; break;
    case 0: case 2: case 4: dx = (W - r) / 2; dy = (Ht - b) / 2; break;
    default: break;
  }
  out.left = l + dx; out.top = t + dy; out.right = r + dx; out.bottom = b + dy;
  out.captionRect = QRect(QPoint(out.left, out.top), QPoint(out.right - 1, out.bottom - 1));

  if (!IsBlank(caption) && position != 4) {
    switch (position) {
      case 0: out.pictureOrigin = QPoint(out.left - pw - 4, (Ht - ph) / 2); break;
      case 1: out.pictureOrigin = QPoint(out.right + 4, (Ht - ph) / 2); break;
      case 2: out.pictureOrigin = QPoint((W - pw) / 2, out.top - ph - 2); break;
      case 3: out.pictureOrigin = QPoint((W - pw) / 2, out.bottom + 2); break;
      default: break;
    }
  } else {
    out.pictureOrigin = QPoint((W - pw) / 2, (Ht - ph) / 2);
  }
  return out;
}

QChar AccessKey(const QString& caption) {
  const int n = int(caption.size());
  const int first = int(caption.indexOf(QLatin1Char('&')));
  if (n < 2 || first < 0 || first >= n - 1) return QChar();
  const QChar c = caption.at(first + 1);
  if (c != QLatin1Char('&')) return c.toLower();
  // A doubled ampersand shows one; the key is after the next single one, if any.
  const int next = int(caption.indexOf(QLatin1Char('&'), first + 2));
  if (next < 0 || next + 1 >= n) return QChar();
  const QChar k = caption.at(next + 1);
  return k == QLatin1Char('&') ? QChar() : k.toLower();
}

}  // namespace pbPaint
