// Pixel probes of the looks at the literal colours of the "Force Standard" scheme.
#include <gtest/gtest.h>

#include <QPainter>

#include <memory>

#include "pbCommand.h"
#include "pbPaint.h"

namespace {

constexpr quint32 F = 0xC0C0C0, S = 0x808080, H = 0xFFFFFF, D = 0, SB = 0x800000, SF = 0xD1ADAD;
constexpr int W = 75, Ht = 23;

std::unique_ptr<pbCommand> Button(int type, const QString& caption = QString()) {
  auto b = std::make_unique<pbCommand>();
  b->resize(W, Ht);
  b->setColorScheme(pbCommand::ForceStandard);
  b->setButtonType(pbCommand::ButtonTypes(type));
  b->setCaption(caption);
  return b;
}

quint32 At(const pbCommand& b, int x, int y) { return pbPaint::FromPixel(b.canvas().pixel(x, y)); }

QImage Opaque(int w, int h, QRgb c) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(c);
  return img;
}

}  // namespace

TEST(ButtonLooks, Windows16Bit) {
  auto b = Button(1);
  EXPECT_FALSE(b->windowRegion().contains(QPoint(0, 0)));
  EXPECT_EQ(At(*b, 10, 0), D);       // the frame
  EXPECT_EQ(At(*b, 0, 10), D);
  EXPECT_EQ(At(*b, 10, 1), H);       // the outer bevel, top-left ring
  EXPECT_EQ(At(*b, 1, 10), H);
  EXPECT_EQ(At(*b, 10, Ht - 2), S);  // bottom-right ring
  EXPECT_EQ(At(*b, W - 2, 10), S);
  EXPECT_EQ(At(*b, 3, 3), F);
  b->Redraw(2, true);
  EXPECT_EQ(At(*b, 10, 1), S);  // pressed: the bevel turns round
  EXPECT_EQ(At(*b, 10, Ht - 2), H);
  // State 1 paints the face only.
  b->Redraw(1, true);
  for (QPoint p : {QPoint(0, 0), QPoint(10, 1), QPoint(10, Ht - 2), QPoint(W - 1, Ht - 1)}) EXPECT_EQ(At(*b, p.x(), p.y()), F);
}

TEST(ButtonLooks, Windows32BitMarksFocusOnlyAsTheDefaultButton) {
  auto b = Button(2);
  b->setFocusForDrawing(true);
  b->Redraw(0, true);
  const QPoint corner = b->focusRect().topLeft();
  EXPECT_EQ(At(*b, corner.x(), corner.y()), F);
  EXPECT_EQ(At(*b, 10, 0), H);  // the bevel on the control's edge
  b->setDisplayAsDefault(true);
  EXPECT_EQ(At(*b, corner.x(), corner.y()), 0x3F3F3Fu);  // the dotted mark inverts the face
  EXPECT_EQ(At(*b, 10, 0), D);  // framed, the bevel one pixel inside
  EXPECT_EQ(At(*b, 10, 1), H);
}

TEST(ButtonLooks, WindowsXP) {
  auto b = Button(3);
  EXPECT_EQ(At(*b, 10, 0), 0x733C00u);  // border
  EXPECT_EQ(At(*b, 1, 1), 0x7B4D10u);   // corner pixels
  EXPECT_EQ(At(*b, W - 2, Ht - 2), 0x7B4D10u);
  EXPECT_FALSE(b->windowRegion().contains(QPoint(1, 0)));
  const quint32 X = pbPaint::Shift(F, 48, true, false);
  EXPECT_EQ(At(*b, 1, 5), pbPaint::Shift(X, -5, true, false));  // the plain inner edge
  b->setHoverForDrawing(true);
  b->Redraw(0, true);
  EXPECT_EQ(At(*b, 1, 5), 0x31B2FFu);  // the orange hover ring
  EXPECT_EQ(At(*b, 10, 1), 0xCEF3FFu);
  b->setHoverForDrawing(false);
  b->setFocusForDrawing(true);
  b->Redraw(0, true);
  EXPECT_EQ(At(*b, 1, 5), 0xE7AE8Cu);  // the blue focus ring
  b->setEnabled(false);
  EXPECT_EQ(At(*b, 10, 0), pbPaint::Shift(X, -84, true, false));
  EXPECT_EQ(At(*b, 1, 1), pbPaint::Shift(X, -72, true, false));
  EXPECT_EQ(At(*b, 5, 5), pbPaint::Shift(X, -24, true, false));
}

TEST(ButtonLooks, TheXpBaseColourFollowsTheStyle) {
  // The base colour is shifted the XP way (blue by n * b / 192) only for the XP style, so it is
  // recomputed when the style changes, not only when a colour does.
  auto b = Button(2);
  b->setColorScheme(pbCommand::Custom);
  b->setBackColor(pbPaint::Rgb(100, 100, 96));
  EXPECT_EQ(b->scheme().X, pbPaint::Rgb(148, 148, 144));
  b->setButtonType(pbCommand::WindowsXP);
  EXPECT_EQ(b->scheme().X, pbPaint::Rgb(148, 148, 120));
  b->setEnabled(false);
  EXPECT_EQ(At(*b, 5, 5), pbPaint::Shift(pbPaint::Rgb(148, 148, 120), -24, true, false));
}

TEST(ButtonLooks, OfficeXP) {
  auto b = Button(9);
  b->setGradColor2(0x0000FF);
  b->setGradColor1(0xFF0000);
  b->setGradientDir(pbCommand::Fill_Vertical);
  EXPECT_EQ(At(*b, 5, 0), 0x0000FFu);  // GradColor2 on top
  EXPECT_EQ(At(*b, 5, Ht - 1), 0xFF0000u);
  b->setGradientDir(pbCommand::Fill_HorizontalMiddleOut);
  EXPECT_EQ(At(*b, W - 1, 10), 0x0000FFu);  // the whole face, last column included
  b->setGradientDir(pbCommand::Fill_None);
  EXPECT_EQ(At(*b, W - 1, 10), F);
  b->setHoverForDrawing(true);
  b->Redraw(0, true);
  EXPECT_EQ(At(*b, 5, 5), SF);
  EXPECT_EQ(At(*b, 5, 0), SB);
  b->Redraw(2, true);
  EXPECT_EQ(At(*b, 5, 5), pbPaint::Shift(SF, -32, false, false));
  EXPECT_EQ(At(*b, 0, 5), SB);
}

TEST(ButtonLooks, JavaMetalFramesTheCaptionWhenFocused) {
  auto b = Button(5, QStringLiteral("OK"));
  b->setFocusForDrawing(true);
  b->Redraw(0, true);
  const QRect c = b->captionRect();
  EXPECT_EQ(At(*b, c.left() - 2, c.top() - 1), 0xCC9999u);
  EXPECT_EQ(At(*b, 0, 0), pbPaint::Shift(S, -26, false, false));
  EXPECT_EQ(At(*b, 1, Ht - 2), pbPaint::Shift(S, 26, false, false));
  EXPECT_EQ(At(*b, 5, 5), pbPaint::Shift(F, 12, false, false));
}

TEST(ButtonLooks, OvalAndKde) {
  auto oval = Button(13);
  EXPECT_EQ(At(*oval, W / 2, 0), F);  // the ring in the face colour when not hovered
  oval->setHoverForDrawing(true);
  oval->Redraw(0, true);
  EXPECT_EQ(At(*oval, W / 2, 0), S);
  EXPECT_EQ(At(*oval, W / 2, 1), S);  // 2 pixels wide
  EXPECT_EQ(At(*oval, W / 2, 2), F);
  oval->Redraw(2, true);
  EXPECT_EQ(At(*oval, W / 2, 0), D);
  EXPECT_EQ(At(*oval, W / 2, Ht / 2), pbPaint::Shift(F, -32, false, false));

  auto kde = Button(14);
  EXPECT_EQ(At(*kde, 10, 0), pbPaint::Shift(S, -50, false, false));
  EXPECT_EQ(At(*kde, 10, 2), H);
  EXPECT_EQ(At(*kde, 10, 20), pbPaint::Shift(H, pbPaint::RampAmount(58, Ht, 20), false, false));
}

TEST(ButtonLooks, CheckedButtonsDrawPressedInStateZero) {
  auto b = Button(1);
  b->setCheckBoxBehaviour(true);
  b->setValue(true);
  b->Redraw(0, true);
  EXPECT_EQ(b->lastState(), 2);
  EXPECT_EQ(At(*b, 10, 1), S);
}

TEST(ButtonLooks, CustomSchemeHoverFaceAndSoftBevel) {
  auto b = Button(1);
  b->setColorScheme(pbCommand::Custom);
  b->setBackColor(0x606060);
  b->setBackOver(0x306090);
  EXPECT_EQ(At(*b, 5, 5), 0x606060u);
  EXPECT_EQ(At(*b, 10, Ht - 2), pbPaint::Shift(0x606060, -64, false, false));
  b->setHoverForDrawing(true);
  b->Redraw(0, true);
  EXPECT_EQ(At(*b, 5, 5), 0x306090u);  // the hover face, with its own edges
  EXPECT_EQ(At(*b, 10, Ht - 2), pbPaint::Shift(0x306090, -64, false, false));
  EXPECT_EQ(b->BackColor(), 0x606060u);
  EXPECT_EQ(b->scheme().F, 0x606060u);
  b->setHoverForDrawing(false);
  b->setSoftBevel(true);
  EXPECT_EQ(At(*b, 10, Ht - 2), pbPaint::Shift(0x606060, -32, false, false));
}

TEST(ButtonLooks, UnknownStylesDrawFaceAndPictureOnly) {
  for (int type : {10, 99}) {
    auto b = Button(type, QStringLiteral("OK"));
    b->setImagen(pbCommand::StreamFromImage(Opaque(4, 4, qRgb(255, 0, 0))));
    b->setHoverForDrawing(true);
    b->Redraw(0, true);
    const QImage& c = b->canvas();
    int other = 0;
    for (int y = 0; y < c.height(); ++y)
      for (int x = 0; x < c.width(); ++x) {
        const quint32 p = pbPaint::FromPixel(c.pixel(x, y));
        if (p != F && p != 0x0000FFu) ++other;
      }
    EXPECT_EQ(other, 0) << type;
  }
}

TEST(ButtonPicture, OpacityInEachState) {
  // An opaque red picture on a black face, in the middle of a blank caption.
  auto b = Button(7, QStringLiteral(" "));
  b->resize(40, 40);
  b->setColorScheme(pbCommand::Custom);
  b->setBackColor(0);
  b->setBackOver(0);
  b->setImagen(pbCommand::StreamFromImage(Opaque(8, 8, qRgb(255, 0, 0))));
  const QPoint at = b->pictureOrigin() + QPoint(3, 3);
  EXPECT_EQ(b->pictureOrigin(), QPoint(16, 16));
  auto red = [&] { return qRed(b->canvas().pixel(at)); };
  b->Redraw(0, true);
  EXPECT_NEAR(red(), 178, 1);
  b->setHoverForDrawing(true);
  b->Redraw(0, true);
  EXPECT_NEAR(red(), 255, 1);
  b->Redraw(2, true);
  EXPECT_NEAR(red(), 204, 1);
  b->setEnabled(false);
  EXPECT_NEAR(red(), 76, 1);
}

TEST(ButtonPicture, PictureOverLeavesOutTheMaskColour) {
  auto b = Button(7, QStringLiteral(" "));
  b->resize(40, 40);
  b->setImagen(pbCommand::StreamFromImage(Opaque(8, 8, qRgb(255, 0, 0))));
  QImage over = Opaque(8, 8, qRgb(0, 0, 255));
  for (int x = 0; x < 8; ++x) over.setPixel(x, 0, qRgb(192, 192, 192));  // the mask colour
  b->setPictureOver(pbPicture::fromImage(over));
  b->Redraw(2, true);
  const QPoint o = b->pictureOrigin() + QPoint(1, 1);  // drawn one pixel down and right
  EXPECT_EQ(At(*b, o.x() + 3, o.y() + 3), 0xFF0000u);   // blue, as 0x00BBGGRR
  EXPECT_EQ(At(*b, o.x() + 3, o.y()), F);                // left out: the face shows
  b->setUseMaskColor(false);
  b->Redraw(2, true);
  EXPECT_EQ(At(*b, o.x() + 3, o.y()), 0xC0C0C0u);
  // Office XP never draws PictureOver.
  b->setButtonType(pbCommand::OfficeXP);
  b->setColorScheme(pbCommand::Custom);
  b->setBackColor(0);
  b->Redraw(2, true);
  EXPECT_NEAR(qRed(b->canvas().pixel(o + QPoint(3, 3))), 204, 1);
}

TEST(ButtonPicture, TransparentShowsItsBackground) {
  auto b = Button(11, QStringLiteral("OK"));
  b->setBackgroundProvider([](const pbCommand* c) { return Opaque(c->width(), c->height(), qRgb(10, 20, 30)); });
  b->Refresh();
  EXPECT_EQ(At(*b, 2, 2), pbPaint::Rgb(10, 20, 30));
  b->setBackgroundProvider({});
  b->Refresh();
  EXPECT_EQ(qAlpha(b->canvas().pixel(2, 2)), 0);  // the window behind shows through
}
