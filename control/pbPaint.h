#pragma once
// The button's drawing arithmetic and raster primitives, kept apart from the widget so they can
// be checked pixel by pixel. Colours are 0x00BBGGRR (red in the low byte) as the button's colour
// properties hold them; the canvas is a QImage in Format_ARGB32_Premultiplied.
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>

#include <functional>

namespace pbPaint {

inline int Red(quint32 c) { return int(c & 0xFF); }
inline int Green(quint32 c) { return int((c >> 8) & 0xFF); }
inline int Blue(quint32 c) { return int((c >> 16) & 0xFF); }
inline quint32 Rgb(int r, int g, int b) { return quint32(r) | (quint32(g) << 8) | (quint32(b) << 16); }
// The opaque canvas pixel of a colour.
inline QRgb ToPixel(quint32 c) { return qRgb(Red(c), Green(c), Blue(c)); }
inline quint32 FromPixel(QRgb p) { return Rgb(qRed(p), qGreen(p), qBlue(p)); }

// Shifts a colour by n (halved first under a soft bevel); in the "xp" manner blue moves by
// n * b / 192 instead of n. Channels are capped at 255 for n > 0 and floored at 0 for n < 0.
quint32 Shift(quint32 c, int n, bool xp, bool soft);
// Each channel becomes n + (255 - n) * c / 255.
quint32 Lighten(quint32 c, int n);
// Rounds to the nearest integer, halves to even.
int RoundEven(double v);
// The ramp amount of row y of the XP and KDE faces: -(k / Ht) * y, the factor in single precision.
int RampAmount(int k, int ht, int y);

// Drawing on the button's 32-bit canvas with the pixel rules the looks are written in: rectangles
// without their right and bottom edges, lines without their end point. Everything is clipped to
// the canvas.
class Raster {
public:
  explicit Raster(QImage& canvas) : img_(canvas) {}
  QImage& image() { return img_; }

  void Pixel(int x, int y, quint32 c);
  void Fill(int x, int y, int w, int h, quint32 c);
  void Frame(int x, int y, int w, int h, quint32 c);
  void Line(int x1, int y1, int x2, int y2, quint32 c);
  // A chain of lines, each from where the last ended.
  void MoveTo(int x, int y) { cx_ = x; cy_ = y; }
  void LineTo(int x, int y, quint32 c) { Line(cx_, cy_, x, y, c); cx_ = x; cy_ = y; }
  // The ellipse inscribed in (x, y, w, h): a 2-pixel ring in `pen`, the inside in `brush`.
  void Ellipse(int x, int y, int w, int h, quint32 pen, quint32 brush);
  // The bevel of the looks: an outer ring in c1 (top, left) and c2 (bottom, right), a pixel
  // inside when `a` is -1, and unless outerOnly an inner ring in c3 and c4.
  void Bevel(int W, int Ht, quint32 c1, quint32 c2, quint32 c3, quint32 c4, int a, bool outerOnly);
  // A dotted rectangle of every other pixel, inverted, as keyboard focus is marked.
  void FocusMark(const QRect& r);
  void Clear() { img_.fill(Qt::transparent); }

private:
  void Put(int x, int y, QRgb p) {
    if (x >= 0 && y >= 0 && x < img_.width() && y < img_.height())
      reinterpret_cast<QRgb*>(img_.scanLine(y))[x] = p;
  }
  QImage& img_;
  int cx_ = 0, cy_ = 0;
};

// Whether the centre of pixel (px, py) lies in the ellipse inscribed in (x, y, w, h).
bool InEllipse(int x, int y, int w, int h, int px, int py);

// The window shape of a style for a client of W x Ht.
QRegion WindowRegion(int buttonType, int W, int Ht);

// Gradient directions, as the button's GradientDir property numbers them.
enum { FillNone = 0, FillHorizontal, FillHorizontalMiddleOut, FillVertical, FillVerticalMiddleOut,
       FillDownwardDiagonal, FillUpwardDiagonal };
// Fills (0, 0, W, Ht) from `first` to `second` in the direction; FillNone paints nothing. The
// whole face is covered (the middle-out halves overlap rather than leave a last column or row).
void Gradient(QImage& canvas, int W, int Ht, quint32 first, quint32 second, int direction);
// Entry i of a ramp of n + 1 entries from first to second (n = 0: the average).
quint32 RampEntry(quint32 first, quint32 second, qint64 i, qint64 n);

// Caption and picture geometry for one layout run.
struct Layout {
  QRect captionRect;      // as measured and centred (right and bottom exclusive, QRect from (l,t,r,b))
  int left = 0, top = 0, right = 0, bottom = 0;  // the caption rectangle's edges
  QPoint pictureOrigin;
};
// Measures text in a rectangle (left, top, right, bottom) with word wrap; returns the right and
// bottom edges of the wrapped text.
using TextMeasurer = std::function<QPoint(int left, int top, int right, int bottom, const QString& text)>;
// Lays out the caption and places the picture of size (pw, ph) for the position (0 left,
// 1 right, 2 top, 3 bottom, 4 background). `previous` supplies the rectangle and picture origin
// that an unknown position keeps.
Layout ComputeLayout(int W, int Ht, int pw, int ph, int position, const QString& caption,
                     const TextMeasurer& measure, const Layout& previous);

// The access key a caption gives (lower case), or a null QChar when it gives none.
QChar AccessKey(const QString& caption);

}  // namespace pbPaint
