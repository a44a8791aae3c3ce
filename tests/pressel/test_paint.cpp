// The drawing arithmetic, primitives, shapes, gradients and caption layout, without a widget.
#include <gtest/gtest.h>

#include <climits>

#include "pbPaint.h"

using namespace pbPaint;

namespace {
QImage Blank(int w, int h) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::white);
  return img;
}
quint32 At(const QImage& img, int x, int y) { return FromPixel(img.pixel(x, y)); }
}  // namespace

TEST(ButtonColours, ShiftClampsAndTreatsBlueTheXpWay) {
  EXPECT_EQ(Shift(Rgb(250, 10, 192), 10, false, false), Rgb(255, 20, 202));
  EXPECT_EQ(Shift(Rgb(20, 5, 100), -30, false, false), Rgb(0, 0, 70));
  EXPECT_EQ(Shift(Rgb(1, 2, 3), 0, false, false), Rgb(1, 2, 3));
  // xp: blue moves by n * b / 192, truncated toward zero.
  EXPECT_EQ(Shift(Rgb(100, 100, 192), -48, true, false), Rgb(52, 52, 144));
  EXPECT_EQ(Shift(Rgb(100, 100, 100), -48, true, false), Rgb(52, 52, 75));  // -48*100/192 = -25
  EXPECT_EQ(Shift(Rgb(100, 100, 250), 48, true, false), Rgb(148, 148, 255));
  // A soft bevel halves the amount, truncating: -45 becomes -22.
  EXPECT_EQ(Shift(Rgb(100, 100, 100), -45, false, true), Rgb(78, 78, 78));
  EXPECT_EQ(Shift(Rgb(100, 100, 100), 45, false, true), Rgb(122, 122, 122));
}

TEST(ButtonColours, LightenMovesEachChannelTowardWhite) {
  EXPECT_EQ(Lighten(0, 176), Rgb(176, 176, 176));
  EXPECT_EQ(Lighten(Rgb(255, 128, 10), 176), Rgb(255, 176 + 79 * 128 / 255, 176 + 79 * 10 / 255));
}

TEST(ButtonColours, RampRoundsHalvesToEven) {
  EXPECT_EQ(RampAmount(25, 23, 23), -25);
  // 25 / 50 * y: 0.5, 1.5, 2.5 round to 0, 2, 2.
  EXPECT_EQ(RampAmount(25, 50, 1), 0);
  EXPECT_EQ(RampAmount(25, 50, 3), -2);
  EXPECT_EQ(RampAmount(25, 50, 5), -2);
  EXPECT_EQ(RampAmount(25, 0, 5), 0);
}

TEST(ButtonRaster, LinesLeaveOutTheirEndAndRectanglesTheirRightAndBottom) {
  QImage img = Blank(10, 10);
  Raster g(img);
  g.Line(1, 1, 5, 1, 0x0000FF);
  EXPECT_EQ(At(img, 1, 1), 0x0000FFu);
  EXPECT_EQ(At(img, 4, 1), 0x0000FFu);
  EXPECT_EQ(At(img, 5, 1), 0xFFFFFFu);
  g.Line(3, 8, 3, 4, 0x00FF00);  // upwards: (3,8) .. (3,5)
  EXPECT_EQ(At(img, 3, 8), 0x00FF00u);
  EXPECT_EQ(At(img, 3, 5), 0x00FF00u);
  EXPECT_EQ(At(img, 3, 4), 0xFFFFFFu);

  img = Blank(10, 10);
  g.Fill(2, 2, 3, 2, 0x123456);
  EXPECT_EQ(At(img, 2, 2), 0x123456u);
  EXPECT_EQ(At(img, 4, 3), 0x123456u);
  EXPECT_EQ(At(img, 5, 3), 0xFFFFFFu);
  EXPECT_EQ(At(img, 4, 4), 0xFFFFFFu);
  g.Frame(0, 0, 10, 10, 0x000000);
  EXPECT_EQ(At(img, 9, 9), 0u);
  EXPECT_EQ(At(img, 1, 1), 0xFFFFFFu);
  // Everything is clipped to the canvas.
  g.Fill(-5, -5, 100, 100, 0x111111);
  g.Line(-3, 12, 14, 12, 0x222222);
  EXPECT_EQ(At(img, 9, 9), 0x111111u);
}

TEST(ButtonRaster, LevelAndUprightLinesCoverThePixelsTheLineRuleGives) {
  // The rule: every pixel from the start towards the end, the end left out, clipped to the canvas.
  auto expected = [](int x1, int y1, int x2, int y2, int w, int h) {
    QImage img = Blank(w, h);
    const int sx = x2 > x1 ? 1 : x2 < x1 ? -1 : 0, sy = y2 > y1 ? 1 : y2 < y1 ? -1 : 0;
    for (int x = x1, y = y1; x != x2 || y != y2; x += sx, y += sy)
      if (x >= 0 && y >= 0 && x < w && y < h) img.setPixel(x, y, ToPixel(0x3366CC));
    return img;
  };
  struct Case {
    int x1, y1, x2, y2;
  };
  const Case cases[] = {
      {1, 1, 5, 1},   {5, 1, 1, 1},  {3, 8, 3, 4},   {3, 4, 3, 8},  {-3, 2, 14, 2}, {14, 2, -3, 2}, {2, -4, 2, 20},
      {2, 20, 2, -4}, {0, 0, 1, 0},  {1, 0, 0, 0},   {9, 9, 10, 9}, {10, 9, 9, 9},  {-5, 3, -1, 3}, {4, 12, 4, 15},
      {4, 4, 4, 4},   {0, 9, 12, 9}, {11, 0, 11, 9}, {9, 11, 9, 0},
  };
  for (const Case& k : cases) {
    QImage img = Blank(10, 10);
    Raster g(img);
    g.Line(k.x1, k.y1, k.x2, k.y2, 0x3366CC);
    EXPECT_EQ(img, expected(k.x1, k.y1, k.x2, k.y2, 10, 10)) << k.x1 << "," << k.y1 << " -> " << k.x2 << "," << k.y2;
  }
  // Ends far outside the canvas are clipped, not counted out.
  QImage img = Blank(10, 10);
  Raster g(img);
  g.Line(INT_MIN, 4, INT_MAX, 4, 0x3366CC);
  g.Line(7, INT_MAX, 7, INT_MIN, 0x3366CC);
  EXPECT_EQ(At(img, 0, 4), 0x3366CCu);
  EXPECT_EQ(At(img, 9, 4), 0x3366CCu);
  EXPECT_EQ(At(img, 7, 0), 0x3366CCu);
  EXPECT_EQ(At(img, 7, 9), 0x3366CCu);
  EXPECT_EQ(At(img, 6, 3), 0xFFFFFFu);
}

TEST(ButtonRaster, BevelDrawsTheOuterRingInsideByOne) {
  QImage img = Blank(8, 6);
  Raster g(img);
  g.Bevel(8, 6, 0x0000AA, 0x0000BB, 0x0000CC, 0x0000DD, -1, false);
  EXPECT_EQ(At(img, 1, 1), 0x0000AAu);  // top-left
  EXPECT_EQ(At(img, 6, 1), 0x0000BBu);  // the right edge starts at the top corner
  EXPECT_EQ(At(img, 6, 4), 0x0000BBu);
  EXPECT_EQ(At(img, 1, 4), 0x0000BBu);  // bottom edge down to e - 1 ... (e, y) included
  EXPECT_EQ(At(img, 2, 2), 0x0000CCu);
  EXPECT_EQ(At(img, 5, 3), 0x0000DDu);
  EXPECT_EQ(At(img, 0, 0), 0xFFFFFFu);
  img = Blank(8, 6);
  g.Bevel(8, 6, 0x0000AA, 0x0000BB, 0x0000CC, 0x0000DD, 0, true);
  EXPECT_EQ(At(img, 0, 0), 0x0000AAu);
  EXPECT_EQ(At(img, 7, 5), 0x0000BBu);
  EXPECT_EQ(At(img, 1, 1), 0xFFFFFFu);  // no inner ring
}

TEST(ButtonShapes, RegionsCutTheCornersOfEachStyle) {
  const int W = 20, H = 10;
  const QRegion r16 = WindowRegion(1, W, H);
  for (QPoint p : {QPoint(0, 0), QPoint(W - 1, 0), QPoint(0, H - 1), QPoint(W - 1, H - 1)}) EXPECT_FALSE(r16.contains(p)) << p.x() << "," << p.y();
  EXPECT_TRUE(r16.contains(QPoint(1, 0)));
  const QRegion metal = WindowRegion(5, W, H);  // keeps top-left and bottom-right
  EXPECT_TRUE(metal.contains(QPoint(0, 0)));
  EXPECT_TRUE(metal.contains(QPoint(W - 1, H - 1)));
  EXPECT_FALSE(metal.contains(QPoint(0, H - 1)));
  EXPECT_FALSE(metal.contains(QPoint(W - 1, 0)));
  for (int type : {3, 4}) {
    const QRegion round = WindowRegion(type, W, H);
    for (QPoint p : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(W - 2, 0), QPoint(W - 1, 1), QPoint(0, H - 2),
                     QPoint(1, H - 1), QPoint(W - 1, H - 2), QPoint(W - 2, H - 1)})
      EXPECT_FALSE(round.contains(p)) << type << ": " << p.x() << "," << p.y();
    EXPECT_TRUE(round.contains(QPoint(1, 1)));
    EXPECT_TRUE(round.contains(QPoint(2, 0)));
  }
  const QRegion oval = WindowRegion(13, 75, 23);
  EXPECT_FALSE(oval.contains(QPoint(1, 1)));
  EXPECT_FALSE(oval.contains(QPoint(73, 21)));
  EXPECT_TRUE(oval.contains(QPoint(37, 11)));
  EXPECT_TRUE(oval.contains(QPoint(0, 11)));
  EXPECT_TRUE(oval.contains(QPoint(37, 0)));
  EXPECT_EQ(WindowRegion(2, W, H), QRegion(0, 0, W, H));
  EXPECT_TRUE(WindowRegion(1, 0, 5).isEmpty());
}

TEST(ButtonGradient, RampTruncatesTowardZeroAndAveragesASingleEntry) {
  EXPECT_EQ(RampEntry(Rgb(10, 0, 0), Rgb(0, 0, 0), 1, 3), Rgb(7, 0, 0));  // 10 + (-10)/3 = 7, not 6
  EXPECT_EQ(RampEntry(Rgb(0, 0, 0), Rgb(10, 0, 0), 1, 3), Rgb(3, 0, 0));
  EXPECT_EQ(RampEntry(Rgb(101, 0, 255), Rgb(51, 0, 255), 0, 0), Rgb(50 + 25, 0, 127 + 127));
}

TEST(ButtonGradient, HorizontalVerticalAndDiagonalEnds) {
  const quint32 first = Rgb(0, 0, 200), second = Rgb(200, 100, 0);
  QImage img = Blank(1, 5);
  Gradient(img, 1, 5, first, second, FillHorizontal);
  EXPECT_EQ(At(img, 0, 3), Rgb(100, 50, 100));  // one column: the average
  img = Blank(7, 5);
  Gradient(img, 7, 5, first, second, FillVertical);
  EXPECT_EQ(At(img, 3, 0), first);
  EXPECT_EQ(At(img, 3, 4), second);
  Gradient(img, 7, 5, first, second, FillDownwardDiagonal);
  EXPECT_EQ(At(img, 0, 0), first);
  EXPECT_EQ(At(img, 6, 4), second);
  Gradient(img, 7, 5, first, second, FillUpwardDiagonal);
  EXPECT_EQ(At(img, 0, 4), first);
  EXPECT_EQ(At(img, 6, 0), second);
  img = Blank(7, 5);
  Gradient(img, 7, 5, first, second, FillNone);
  EXPECT_EQ(At(img, 3, 3), 0xFFFFFFu);
}

TEST(ButtonGradient, MiddleOutCoversTheWholeFace) {
  const quint32 first = Rgb(0, 0, 0), second = Rgb(240, 240, 240), face = 0xFFFFFF;
  for (int w : {9, 10, 11}) {
    QImage img = Blank(w, 3);
    Gradient(img, w, 3, first, second, FillHorizontalMiddleOut);
    EXPECT_EQ(At(img, 0, 1), first) << w;
    EXPECT_EQ(At(img, w - 1, 1), first) << w;  // the last column is painted, not left in the face
    EXPECT_TRUE(At(img, w / 2, 1) == second || At(img, w / 2 - 1, 1) == second) << w;  // the middle
    for (int x = 0; x < w; ++x) EXPECT_NE(At(img, x, 1), face) << w << " column " << x;
  }
  for (int h : {10, 11}) {
    QImage img = Blank(3, h);
    Gradient(img, 3, h, first, second, FillVerticalMiddleOut);
    EXPECT_EQ(At(img, 1, 0), first) << h;
    EXPECT_EQ(At(img, 1, h - 1), first) << h;
    for (int y = 0; y < h; ++y) EXPECT_NE(At(img, 1, y), face) << h << " row " << y;
  }
}

TEST(ButtonLayout, CaptionAndPictureForEveryPosition) {
  // A caption that measures 30 x 12 wherever it is put.
  const TextMeasurer measure = [](int l, int t, int, int, const QString&) { return QPoint(l + 30, t + 12); };
  struct Row { int position; QRect caption; QPoint picture; };
  const Row rows[] = {
      {0, QRect(QPoint(43, 14), QPoint(72, 25)), QPoint(23, 12)},  // left: centred right of the picture
      {1, QRect(QPoint(25, 14), QPoint(54, 25)), QPoint(59, 12)},
      {2, QRect(QPoint(35, 22), QPoint(64, 33)), QPoint(42, 4)},
      {3, QRect(QPoint(35, 4), QPoint(64, 15)), QPoint(42, 18)},
      {4, QRect(QPoint(35, 14), QPoint(64, 25)), QPoint(42, 12)},  // background: centred
  };
  for (const Row& r : rows) {
    const Layout l = ComputeLayout(100, 40, 16, 16, r.position, QStringLiteral("确定"), measure, Layout());
    EXPECT_EQ(l.captionRect, r.caption) << "position " << r.position;
    EXPECT_EQ(l.pictureOrigin, r.picture) << "position " << r.position;
  }
  // A blank caption centres the picture whatever the position.
  for (int position = 0; position <= 3; ++position)
    EXPECT_EQ(ComputeLayout(100, 40, 16, 16, position, QStringLiteral("   "), measure, Layout()).pictureOrigin,
              QPoint(42, 12));
  // An unknown position keeps the previous rectangle's corner and the previous picture origin.
  Layout previous;
  previous.left = 5;
  previous.top = 6;
  previous.pictureOrigin = QPoint(7, 8);
  const Layout odd = ComputeLayout(100, 40, 16, 16, 9, QStringLiteral("x"), measure, previous);
  EXPECT_EQ(odd.pictureOrigin, QPoint(7, 8));
  EXPECT_EQ(odd.captionRect.topLeft(), QPoint(5, 6));
  // A picture wider than the control: no negative measuring width reaches the measurer.
  const TextMeasurer checked = [](int l, int t, int r, int b, const QString&) {
    EXPECT_GE(r, l);
    EXPECT_GE(b, t);
    return QPoint(l, t);
  };
  ComputeLayout(10, 10, 40, 40, 0, QStringLiteral("x"), checked, Layout());
}

TEST(ButtonAccessKey, FromTheCaptionsAmpersands) {
  const struct { const char* caption; QChar key; } rows[] = {
      {"确定(&R)", QLatin1Char('r')}, {"&Open", QLatin1Char('o')}, {"&&", QChar()}, {"a&&b", QChar()},
      {"a&&b&c", QLatin1Char('c')}, {"&&a&&&b", QChar()}, {"x&", QChar()}, {"&", QChar()}, {"", QChar()},
      {"放弃(&Esc)", QLatin1Char('e')}, {"plain", QChar()},
  };
  for (const auto& r : rows) EXPECT_EQ(AccessKey(QString::fromUtf8(r.caption)), r.key) << r.caption;
}
