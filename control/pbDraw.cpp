// The looks of the 13 styles, painted into the button's canvas.
#include "cImage32.h"
#include "pbCommand.h"
#include "pbPaint.h"

#include <QPainter>

using pbPaint::Raster;

namespace {
quint32 Sh(quint32 c, int n, bool soft) { return pbPaint::Shift(c, n, false, soft); }
quint32 ShXp(quint32 c, int n, bool soft) { return pbPaint::Shift(c, n, true, soft); }
void Corners(Raster& g, int W, int Ht, quint32 c) {
  g.Pixel(1, 1, c);
  g.Pixel(1, Ht - 2, c);
  g.Pixel(W - 2, 1, c);
  g.Pixel(W - 2, Ht - 2, c);
}
}  // namespace

void pbCommand::Redraw(int state, bool force) {
  if (checkBox_ && value_) state = 2;
  if (!(force || caption_ != lastCaption_ || state != lastState_)) return;
  if (height() == 0 || !drawingEnabled_) return;
  if (canvas_.size() != size()) syncGeometry();
  lastState_ = state;
  lastCaption_ = caption_;
  // A button of a window that is being built gets many properties before it is shown, each asking
  // for a redraw; it is painted once, when it shows or its canvas is wanted.
  if (parentWidget() && !isVisible()) {
    drawPending_ = true;
    return;
  }
  paintCanvas();
}

void pbCommand::flushDrawing() const {
  if (drawPending_) const_cast<pbCommand*>(this)->paintCanvas();
}

void pbCommand::paintCanvas() {
  drawPending_ = false;
  ++drawCount_;
  const int state = lastState_;
  Raster g(canvas_);
  g.Clear();

  // A hovered custom button uses its hover face throughout.
  const Scheme saved = sc_;
  if (hover_ && colorScheme_ == Custom) sc_ = schemeFor(backOver_);

  g.Fill(0, 0, W_, Ht_, sc_.F);
  if (!isEnabled()) {
    drawDisabled(g);
    drawPicture(g, 2);
  } else if (state == 2) {
    drawPressed(g);
    drawPicture(g, 1);
  } else if (state == 0) {
    drawNormal(g);
    drawPicture(g, 0);
  }
  sc_ = saved;
  update();
}

// --- caption ----------------------------------------------------------------------------------

void pbCommand::drawCaptionText(Raster& g, const QRect& r, quint32 colour) {
  if (caption_.isEmpty()) return;
  QPainter p(&g.image());
  QFont f = font();
  if (boldForDefault_) f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(pbPaint::ToPixel(colour)));
  p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, caption_);
}

void pbCommand::drawEffect(Raster& g, const QRect& r, int mode) {
  if (specialEffect_ == cbNone) return;
  const int t = int(buttonType_);
  quint32 base;
  if (t == 3 || t == 4 || t == 14)
    base = sc_.X;
  else if (t == 9 && mode == 1 && hover_ && colorScheme_ != Custom)
    base = sc_.SF;
  else
    base = sc_.F;
  const quint32 dark = Sh(base, -40, softBevel_), light = Sh(base, 40, softBevel_);
  switch (specialEffect_) {
    case cbEmbossed:
      drawCaptionText(g, r.translated(1, 1), dark);
      drawCaptionText(g, r.translated(-1, -1), light);
      break;
    case cbEngraved:
      drawCaptionText(g, r.translated(1, 1), light);
      drawCaptionText(g, r.translated(-1, -1), dark);
      break;
    case cbShadowed:
      drawCaptionText(g, r.translated(1, 1), dark);
      break;
    default:
      break;
  }
}

void pbCommand::drawCaption(Raster& g, int mode) {
  const QRect r = layout_.captionRect, m = r.translated(1, 1);
  lastCaptionMode_ = mode;
  switch (mode) {
    case 0:
      drawEffect(g, r, mode);
      drawCaptionText(g, r, sc_.T);
      break;
    case 1:
      drawEffect(g, r, mode);
      drawCaptionText(g, r, sc_.TH);
      break;
    case 2:
      drawEffect(g, m, mode);
      drawCaptionText(g, m, buttonType_ == Mac ? sc_.L : sc_.TH);
      break;
    case 3:
      drawCaptionText(g, m, sc_.H);
      drawCaptionText(g, r, sc_.S);
      break;
    case 4:
      drawCaptionText(g, r, sc_.S);
      break;
    case 5:
      drawCaptionText(g, r, ShXp(sc_.X, -104, softBevel_));
      break;
    case 6:
      drawCaptionText(g, m, sc_.H);
      drawCaptionText(g, r, sc_.F);
      break;
    case 7:
      drawCaptionText(g, m, Sh(sc_.S, -50, softBevel_));
      drawCaptionText(g, r, sc_.H);
      break;
    default:
      break;
  }
}

void pbCommand::drawFocus(Raster& g) {
  if (showFocusRect_ && hasFocus_) g.FocusMark(focusRect_);
}

// --- picture ----------------------------------------------------------------------------------

void pbCommand::drawPictureOver(Raster& g, int x, int y) {
  const int w = image_->Width(), h = image_->Height();
  if (w <= 0 || h <= 0 || pictureOver_.isNull()) return;
  QImage src = pictureOver_.image;
  if (pictureOver_.kind == pbPicture::Icon) {
    // An icon is first put on a bitmap of the mask colour, so its transparent parts drop out.
    QImage onMask(src.size(), QImage::Format_RGB32);
    onMask.fill(pbPaint::ToPixel(sc_.M));
    QPainter p(&onMask);
    p.drawImage(0, 0, src);
    p.end();
    src = onMask;
  }
  src = src.convertToFormat(QImage::Format_RGB32);
  if (src.size() != QSize(w, h)) src = src.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  QImage& img = g.image();
  for (int sy = 0; sy < h; ++sy) {
    const int dy = y + sy;
    if (dy < 0 || dy >= img.height()) continue;
    const QRgb* s = reinterpret_cast<const QRgb*>(src.constScanLine(sy));
    QRgb* d = reinterpret_cast<QRgb*>(img.scanLine(dy));
    for (int sx = 0; sx < w; ++sx) {
      const int dx = x + sx;
      if (dx < 0 || dx >= img.width()) continue;
      const QRgb p = s[sx] | 0xFF000000u;
      if (useMaskColor_ && pbPaint::FromPixel(p) == sc_.M) continue;
      d[dx] = p;
    }
  }
}

void pbCommand::drawPicture(Raster& g, int mode) {
  const int x = layout_.pictureOrigin.x(), y = layout_.pictureOrigin.y();
  QImage& img = g.image();
  const pressel::BgraSurface surface{img.bits(), img.width(), img.height(), img.bytesPerLine()};
  const bool over = !pictureOver_.isNull() && buttonType_ != OfficeXP;
  const int k = buttonType_ == JavaMetal ? 0 : 1;
  switch (mode) {
    case 0:
      if (hover_ && buttonType_ == OfficeXP) {
        image_->Render(surface, x + 1, y + 1, 0, 0, 30);
        image_->Render(surface, x - 1, y - 1, 0, 0, 100);
      } else {
        image_->Render(surface, x, y, 0, 0, hover_ ? 100 : 70);
      }
      break;
    case 1:
      if (over)
        drawPictureOver(g, x + k, y + k);
      else
        image_->Render(surface, x + 1, y + 1, 0, 0, 80);
      break;
    case 2:
      if (over)
        drawPictureOver(g, x + k, y + k);
      else
        image_->Render(surface, x + 1, y + 1, 0, 0, 30);
      break;
    default:
      break;
  }
  if (picturePosition_ == cbBackground) drawCaption(g, lastCaptionMode_);
}

void pbCommand::drawBackground(Raster& g) {
  if (background_.isNull()) {
    g.Clear();
    return;
  }
  QPainter p(&g.image());
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(0, 0, background_);
}

// --- looks ------------------------------------------------------------------------------------

void pbCommand::drawNormal(Raster& g) {
  const int W = W_, Ht = Ht_;
  const bool soft = softBevel_;
  const int cap = hover_ ? 1 : 0;
  const bool isDefault = displayAsDefault_;
  switch (int(buttonType_)) {
    case 1:
      drawCaption(g, cap);
      g.Bevel(W, Ht, sc_.H, sc_.S, sc_.H, sc_.S, -1, false);
      g.Frame(0, 0, W, Ht, sc_.D);
      drawFocus(g);
      break;
    case 2:
      drawCaption(g, cap);
      if (showFocusRect_ && isDefault) {
        g.Bevel(W, Ht, sc_.H, sc_.D, sc_.L, sc_.S, -1, false);
        drawFocus(g);
        g.Frame(0, 0, W, Ht, sc_.D);
      } else {
        g.Bevel(W, Ht, sc_.H, sc_.D, sc_.L, sc_.S, 0, false);
      }
      break;
    case 3:
      drawXPNormal(g);
      break;
    case 4:
      drawMac(g, false);
      break;
    case 5:
      g.Fill(1, 1, W - 1, Ht - 1, Sh(sc_.F, 12, soft));
      drawCaption(g, cap);
      g.Frame(1, 1, W - 1, Ht - 1, sc_.H);
      g.Frame(0, 0, W - 1, Ht - 1, Sh(sc_.S, -26, soft));
      g.Pixel(1, Ht - 2, Sh(sc_.S, 26, soft));
      g.Pixel(W - 2, 1, Sh(sc_.S, 26, soft));
      if (hasFocus_ && showFocusRect_)
        g.Frame(layout_.left - 2, layout_.top - 1, layout_.right - layout_.left + 4,
                layout_.bottom - layout_.top + 2, 0xCC9999);
      break;
    case 6: {
      const quint32 l8 = Sh(sc_.L, 8, soft);
      drawCaption(g, cap);
      g.Bevel(W, Ht, l8, sc_.S, l8, sc_.S, 0, false);
      drawFocus(g);
      break;
    }
    case 7:
      drawCaption(g, cap);
      g.Bevel(W, Ht, sc_.H, sc_.S, 0, 0, 0, true);
      drawFocus(g);
      break;
    case 8:
      drawCaption(g, cap);
      if (hover_) g.Bevel(W, Ht, sc_.H, sc_.S, 0, 0, 0, true);
      drawFocus(g);
      break;
    case 9:
      if (hover_) {
        g.Fill(1, 1, W, Ht, sc_.SF);
        drawCaption(g, 1);
        g.Frame(0, 0, W, Ht, sc_.SB);
      } else {
        pbPaint::Gradient(g.image(), W, Ht, pbColors::Translate(gradColor2_), pbColors::Translate(gradColor1_),
                          int(gradientDir_));
        drawCaption(g, 0);
      }
      drawFocus(g);
      break;
    case 11:
      drawBackground(g);
      drawCaption(g, cap);
      drawFocus(g);
      break;
    case 12:
      drawCaption(g, cap);
      if (hover_) g.Bevel(W, Ht, sc_.H, sc_.D, sc_.L, sc_.S, 0, false);
      drawFocus(g);
      break;
    case 13:
      g.Ellipse(0, 0, W, Ht, hover_ ? sc_.S : sc_.F, sc_.F);
      drawCaption(g, cap);
      break;
    case 14:
      drawKDENormal(g);
      break;
    default:
      break;
  }
}

void pbCommand::drawPressed(Raster& g) {
  const int W = W_, Ht = Ht_;
  const bool soft = softBevel_;
  switch (int(buttonType_)) {
    case 1:
      drawCaption(g, 2);
      g.Bevel(W, Ht, sc_.S, sc_.H, sc_.S, sc_.H, -1, false);
      g.Frame(0, 0, W, Ht, sc_.D);
      drawFocus(g);
      break;
    case 2:
      drawCaption(g, 2);
      if (showFocusRect_ && displayAsDefault_) {
        g.Frame(0, 0, W, Ht, sc_.D);
        g.Frame(1, 1, W - 2, Ht - 2, sc_.S);
        drawFocus(g);
      } else {
        g.Bevel(W, Ht, sc_.D, sc_.H, sc_.S, sc_.L, 0, false);
      }
      break;
    case 3:
      drawXPPressed(g);
      break;
    case 4:
      drawMacPressed(g);
      break;
    case 5:
      g.Fill(1, 1, W - 2, Ht - 2, Sh(sc_.S, 16, soft));
      g.Frame(0, 0, W - 1, Ht - 1, Sh(sc_.S, -26, soft));
      g.Line(W - 1, 1, W - 1, Ht, sc_.H);
      g.Line(1, Ht - 1, W - 1, Ht - 1, sc_.H);
      lastCaptionMode_ = 2;
      drawCaptionText(g, layout_.captionRect, sc_.TH);
      if (hasFocus_ && showFocusRect_)
        g.Frame(layout_.left - 2, layout_.top - 1, layout_.right - layout_.left + 4,
                layout_.bottom - layout_.top + 2, 0xCC9999);
      break;
    case 6: {
      const quint32 l8 = Sh(sc_.L, 8, soft);
      drawCaption(g, 2);
      g.Bevel(W, Ht, sc_.S, l8, sc_.S, l8, 0, false);
      drawFocus(g);
      break;
    }
    case 7:
    case 8:
      drawCaption(g, 2);
      g.Bevel(W, Ht, sc_.S, sc_.H, 0, 0, 0, true);
      drawFocus(g);
      break;
    case 9:
      if (hover_)
        g.Fill(0, 0, W, Ht, colorScheme_ == Custom ? pbPaint::Lighten(sc_.SB, 128) : Sh(sc_.SF, -32, soft));
      drawCaption(g, 2);
      g.Frame(0, 0, W, Ht, sc_.SB);
      drawFocus(g);
      break;
    case 11:
      drawBackground(g);
      drawCaption(g, 2);
      drawFocus(g);
      break;
    case 12:
      drawCaption(g, 2);
      g.Bevel(W, Ht, sc_.D, sc_.H, sc_.S, sc_.L, 0, false);
      drawFocus(g);
      break;
    case 13:
      g.Ellipse(0, 0, W, Ht, sc_.D, Sh(sc_.F, -32, soft));
      drawCaption(g, 2);
      break;
    case 14:
      g.Fill(1, 1, W, Ht, Sh(sc_.F, -9, soft));
      g.Frame(0, 0, W, Ht, Sh(sc_.S, -48, soft));
      g.Line(2, Ht - 2, W - 2, Ht - 2, sc_.H);
      g.Line(W - 2, 2, W - 2, Ht - 1, sc_.H);
      drawCaption(g, 7);
      drawFocus(g);
      break;
    default:
      break;
  }
}

void pbCommand::drawDisabled(Raster& g) {
  const int W = W_, Ht = Ht_;
  const bool soft = softBevel_;
  switch (int(buttonType_)) {
    case 1:
      drawCaption(g, 3);
      g.Bevel(W, Ht, sc_.H, sc_.S, sc_.H, sc_.S, -1, false);
      g.Frame(0, 0, W, Ht, sc_.D);
      break;
    case 2:
      drawCaption(g, 3);
      g.Bevel(W, Ht, sc_.H, sc_.D, sc_.L, sc_.S, 0, false);
      break;
    case 3:
      g.Fill(0, 0, W, Ht, ShXp(sc_.X, -24, soft));
      drawCaption(g, 5);
      g.Frame(0, 0, W, Ht, ShXp(sc_.X, -84, soft));
      Corners(g, W, Ht, ShXp(sc_.X, -72, soft));
      break;
    case 4:
      drawMac(g, true);
      break;
    case 5:
      drawCaption(g, 4);
      g.Frame(0, 0, W, Ht, sc_.S);
      break;
    case 6: {
      const quint32 l8 = Sh(sc_.L, 8, soft);
      drawCaption(g, 4);
      g.Bevel(W, Ht, l8, sc_.S, l8, sc_.S, 0, false);
      break;
    }
    case 7:
      drawCaption(g, 3);
      g.Bevel(W, Ht, sc_.H, sc_.S, 0, 0, 0, true);
      break;
    case 8:
    case 12:
    case 13:
      drawCaption(g, 3);
      break;
    case 9:
      drawCaption(g, 4);
      break;
    case 11:
      drawBackground(g);
      drawCaption(g, 3);
      break;
    case 14:
      kdeRamp(g);
      g.Frame(0, 0, W, Ht, Sh(sc_.S, -50, soft));
      g.Frame(1, 1, W - 2, Ht - 2, Sh(sc_.F, -9, soft));
      g.Fill(2, 2, W - 4, 2, sc_.H);
      g.Fill(2, 4, 2, Ht - 6, sc_.H);
      drawCaption(g, 6);
      break;
    default:
      break;
  }
}

void pbCommand::drawXPNormal(Raster& g) {
  const int W = W_, Ht = Ht_;
  const bool soft = softBevel_;
  const quint32 X = sc_.X;
  for (int y = 1; y <= Ht; ++y) g.Line(0, y, W, y, ShXp(X, pbPaint::RampAmount(25, Ht, y), soft));
  drawCaption(g, hover_ ? 1 : 0);
  g.Frame(0, 0, W, Ht, 0x733C00);
  Corners(g, W, Ht, 0x7B4D10);
  if (hover_) {
    g.Frame(1, 2, W - 2, Ht - 4, 0x31B2FF);
    g.Line(2, Ht - 2, W - 2, Ht - 2, 0x0096E7);
    g.Line(2, 1, W - 2, 1, 0xCEF3FF);
    g.Line(1, 2, W - 1, 2, 0x8CDBFF);
    g.Line(2, 3, 2, Ht - 3, 0x6BCBFF);
    g.Line(W - 3, 3, W - 3, Ht - 3, 0x6BCBFF);
  } else if (showFocusRect_ && (hasFocus_ || displayAsDefault_)) {
    g.Frame(1, 2, W - 2, Ht - 4, 0xE7AE8C);
    g.Line(2, Ht - 2, W - 2, Ht - 2, 0xEF826B);
    g.Line(2, 1, W - 2, 1, 0xFFE7CE);
    g.Line(1, 2, W - 1, 2, 0xF7D7BD);
    g.Line(2, 3, 2, Ht - 3, 0xF0D1B5);
    g.Line(W - 3, 3, W - 3, Ht - 3, 0xF0D1B5);
  } else {
    g.Line(2, Ht - 2, W - 2, Ht - 2, ShXp(X, -48, soft));
    g.Line(1, Ht - 3, W - 2, Ht - 3, ShXp(X, -32, soft));
    g.Line(W - 2, 2, W - 2, Ht - 2, ShXp(X, -36, soft));
    g.Line(W - 3, 3, W - 3, Ht - 3, ShXp(X, -24, soft));
    g.Line(2, 1, W - 2, 1, ShXp(X, 16, soft));
    g.Line(1, 2, W - 2, 2, ShXp(X, 10, soft));
    g.Line(1, 2, 1, Ht - 2, ShXp(X, -5, soft));
    g.Line(2, 3, 2, Ht - 3, ShXp(X, -10, soft));
  }
}

void pbCommand::drawXPPressed(Raster& g) {
  const int W = W_, Ht = Ht_;
  const bool soft = softBevel_;
  const quint32 B = ShXp(sc_.X, -32, soft);
  for (int y = 1; y <= Ht; ++y) g.Line(0, Ht - y, W, Ht - y, ShXp(B, pbPaint::RampAmount(25, Ht, y), soft));
  drawCaption(g, 2);
  g.Frame(0, 0, W, Ht, 0x733C00);
  Corners(g, W, Ht, 0x7B4D10);
  g.Line(2, Ht - 2, W - 2, Ht - 2, ShXp(B, 16, soft));
  g.Line(1, Ht - 3, W - 2, Ht - 3, ShXp(B, 10, soft));
  g.Line(W - 2, 2, W - 2, Ht - 2, ShXp(B, 5, soft));
  g.Line(W - 3, 3, W - 3, Ht - 3, sc_.X);
  g.Line(2, 1, W - 2, 1, ShXp(B, -32, soft));
  g.Line(1, 2, W - 2, 2, ShXp(B, -24, soft));
  g.Line(1, 2, 1, Ht - 2, ShXp(B, -32, soft));
  g.Line(2, 2, 2, Ht - 2, ShXp(B, -22, soft));
}

void pbCommand::drawMac(Raster& g, bool disabled) {
  const int W = W_, Ht = Ht_;
  g.Fill(1, 1, W - 2, Ht - 2, sc_.L);
  drawCaption(g, disabled ? 3 : (hover_ ? 1 : 0));
  g.Frame(0, 0, W, Ht, sc_.D);
  Corners(g, W, Ht, sc_.D);
  g.Line(1, 2, 2, 0, sc_.F);
  g.Line(3, 2, W - 3, 2, sc_.H);
  g.Line(2, 2, 2, Ht - 3, sc_.H);
  g.Pixel(3, 3, sc_.H);
  g.Line(W - 3, 1, W - 3, Ht - 3, sc_.F);
  g.Line(1, Ht - 3, W - 3, Ht - 3, sc_.F);
  g.Pixel(W - 4, Ht - 4, sc_.F);
  g.Line(W - 2, 2, W - 2, Ht - 2, sc_.S);
  g.Line(2, Ht - 2, W - 2, Ht - 2, sc_.S);
  g.Pixel(W - 3, Ht - 3, sc_.S);
}

void pbCommand::drawMacPressed(Raster& g) {
  const int W = W_, Ht = Ht_;
  const bool soft = softBevel_;
  const quint32 S16 = Sh(sc_.S, -16, soft), S32 = Sh(sc_.S, -32, soft), S64 = Sh(sc_.S, -64, soft);
  g.Fill(1, 1, W - 2, Ht - 2, S16);
  sc_.X = S16;
  drawCaption(g, 2);
  sc_.X = Sh(sc_.F, 48, soft);
  g.Frame(0, 0, W, Ht, sc_.D);
  g.Frame(1, 1, W - 2, Ht - 2, S64);
  g.Frame(2, 2, W - 4, Ht - 4, S32);
  g.Pixel(2, 2, S64);
  g.Pixel(3, 3, S32);
  Corners(g, W, Ht, sc_.D);
  g.Line(W - 3, 1, W - 3, Ht - 3, sc_.S);
  g.Line(1, Ht - 3, W - 2, Ht - 3, sc_.S);
  g.Pixel(W - 4, Ht - 4, sc_.S);
  g.Line(W - 2, 3, W - 2, Ht - 2, S16);
  g.Line(3, Ht - 2, W - 2, Ht - 2, S16);
  g.Line(W - 2, Ht - 3, W - 4, Ht - 1, S32);
  g.Pixel(2, Ht - 2, S32);
  g.Pixel(W - 2, 2, S32);
}

void pbCommand::kdeRamp(Raster& g) {
  for (int y = 1; y <= Ht_; ++y)
    g.Line(0, y, W_, y, Sh(sc_.H, pbPaint::RampAmount(58, Ht_, y), softBevel_));
}

void pbCommand::drawKDENormal(Raster& g) {
  const int W = W_, Ht = Ht_;
  const bool soft = softBevel_;
  if (hover_)
    g.Fill(0, 0, W, Ht, sc_.L);
  else
    kdeRamp(g);
  if (displayAsDefault_) {
    // The default button's caption is bold, laid out in the bold font for this drawing only.
    const LayoutState normal = layout_;
    QFont bold = font();
    bold.setBold(true);
    captionLayout(bold);
    boldForDefault_ = true;
    drawCaption(g, hover_ ? 1 : 0);
    boldForDefault_ = false;
    layout_ = normal;
  } else {
    drawCaption(g, hover_ ? 1 : 0);
  }
  g.Frame(0, 0, W, Ht, Sh(sc_.S, -50, soft));
  g.Frame(1, 1, W - 2, Ht - 2, Sh(sc_.F, -9, soft));
  g.Fill(2, 2, W - 4, 2, sc_.H);
  g.Fill(2, 4, 2, Ht - 6, sc_.H);
  drawFocus(g);
}
