#include "pbCommand.h"

#include "PresselLibrary.h"
#include "PropertyBag.h"
#include "cImage32.h"
#include "pbPaint.h"

#include <QApplication>
#include <QBuffer>
#include <QCursor>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <QtEndian>

using pbPaint::Shift;

// --- pictures -------------------------------------------------------------------------------

pbPicture pbPicture::fromData(const QByteArray& bytes) {
  pbPicture p;
  QBuffer buf;
  buf.setData(bytes);
  buf.open(QIODevice::ReadOnly);
  QImageReader reader(&buf);
  const QByteArray format = reader.format();
  QImage img = reader.read();
  if (img.isNull()) return p;
  p.kind = (format == "ico" || format == "cur") ? Icon : Bitmap;
  p.image = img;
  p.data = bytes;
  return p;
}

pbPicture pbPicture::fromFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return fromData(f.readAll());
}

pbPicture pbPicture::fromImage(const QImage& image, int kind) {
  pbPicture p;
  if (image.isNull()) return p;
  QBuffer buf(&p.data);
  buf.open(QIODevice::WriteOnly);
  image.save(&buf, "PNG");
  p.image = image;
  p.kind = kind;
  return p;
}

// --- system colours ---------------------------------------------------------------------------

namespace pbColors {

static SystemColorTable& Table() {
  static SystemColorTable table;
  return table;
}

void SetSystemColorTable(SystemColorTable table) { Table() = std::move(table); }

quint32 ClassicColor(int index) {
  using pbPaint::Rgb;
  switch (index) {
    case 1: return Rgb(58, 110, 165);    // desktop
    case 4: case 15: case 22: return Rgb(212, 208, 200);  // menu, button face, 3D light
    case 5: return Rgb(255, 255, 255);   // window
    case 7: case 8: case 18: return 0;   // menu, window and button text
    case 13: return Rgb(10, 36, 106);    // selection
    case 14: case 20: return Rgb(255, 255, 255);  // selected text, button highlight
    case 16: case 17: return Rgb(128, 128, 128);  // button shadow, grey text
    case 21: return Rgb(64, 64, 64);     // 3D dark shadow
    default: return Rgb(212, 208, 200);
  }
}

static quint32 FromQColor(const QColor& c) { return pbPaint::Rgb(c.red(), c.green(), c.blue()); }

quint32 SystemColor(int index) {
  if (Table()) return Table()(index) & 0xFFFFFF;
  const QPalette pal = QApplication::palette();
  switch (index) {
    case 4: case 15: return FromQColor(pal.color(QPalette::Button));
    case 5: return FromQColor(pal.color(QPalette::Base));
    case 7: case 8: return FromQColor(pal.color(QPalette::WindowText));
    case 13: return FromQColor(pal.color(QPalette::Highlight));
    case 14: return FromQColor(pal.color(QPalette::HighlightedText));
    case 16: return FromQColor(pal.color(QPalette::Dark));
    case 17: return FromQColor(pal.color(QPalette::Disabled, QPalette::Text));
    case 18: return FromQColor(pal.color(QPalette::ButtonText));
    case 20: return FromQColor(pal.color(QPalette::Light));
    case 21: return FromQColor(pal.color(QPalette::Shadow));
    case 22: return FromQColor(pal.color(QPalette::Midlight));
    default: return ClassicColor(index);
  }
}

quint32 Translate(OLE_COLOR c) {
  if ((c & 0xFF000000u) == 0x80000000u) return SystemColor(int(c & 0xFF));
  return c & 0xFFFFFF;
}

}  // namespace pbColors

// --- construction -----------------------------------------------------------------------------

QString pbCommand::ButtonTypeName(int type) {
  switch (type) {
    case 1: return QStringLiteral("Windows 16-bit");
    case 2: return QStringLiteral("Windows 32-bit");
    case 3: return QStringLiteral("Windows XP");
    case 4: return QStringLiteral("Mac");
    case 5: return QStringLiteral("Java metal");
    case 6: return QStringLiteral("Netscape 6");
    case 7: return QStringLiteral("Simple Flat");
    case 8: return QStringLiteral("Flat Highlight");
    case 9: return QStringLiteral("Office XP");
    case 11: return QStringLiteral("Transparent");
    case 12: return QStringLiteral("3D Hover");
    case 13: return QStringLiteral("Oval Flat");
    case 14: return QStringLiteral("KDE 2");
    default: return QString();
  }
}

QString pbCommand::ColorTypeName(int scheme) {
  switch (scheme) {
    case 1: return QStringLiteral("Use Windows");
    case 2: return QStringLiteral("Custom");
    case 3: return QStringLiteral("Force Standard");
    case 4: return QStringLiteral("Use Container");
    default: return QString();
  }
}

pbCommand::pbCommand(QWidget* parent) : QWidget(parent), image_(std::make_unique<pressel::cImage32>()) {
  PresselInstallPictureLoader();
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  overTimer_ = new QTimer(this);
  overTimer_->setInterval(kHoverInterval);
  connect(overTimer_, &QTimer::timeout, this, &pbCommand::onHoverTick);
  drawingEnabled_ = true;
  InitProperties();
}

pbCommand::~pbCommand() { drawingEnabled_ = false; }

void pbCommand::InitProperties() {
  QWidget::setEnabled(true);
  showFocusRect_ = true;
  useMaskColor_ = true;
  caption_ = objectName();  // the container's name for the control
  updateAccessKey();
  buttonType_ = Windows32bit;
  colorScheme_ = UseWindows;
  computeScheme();
  backColor_ = backOver_ = sc_.F;
  foreColor_ = foreOver_ = sc_.T;
  maskColor_ = 0xC0C0C0;
  captionLayout();
}

// --- scheme -----------------------------------------------------------------------------------

pbCommand::Scheme pbCommand::schemeFor(OLE_COLOR face) const {
  Scheme s{};
  const bool soft = softBevel_;
  auto shifted = [&](quint32 f) {
    s.S = Shift(f, -64, false, soft);
    s.L = Shift(f, 31, false, soft);
    s.H = Shift(f, 47, false, soft);
    s.D = Shift(f, -192, false, soft);
  };
  switch (colorScheme_) {
    case Custom:
      s.F = pbColors::Translate(face);
      s.T = pbColors::Translate(foreColor_);
      s.TH = pbColors::Translate(foreOver_);
      shifted(s.F);
      s.SB = Shift(s.F, -128, false, soft);
      s.SF = s.F;
      break;
    case ForceStandard:
      s.F = 0xC0C0C0;
      s.T = s.TH = 0;
      s.S = 0x808080;
      s.L = 0xDFDFDF;
      s.H = 0xFFFFFF;
      s.D = 0;
      s.SB = 0x800000;
      s.SF = 0xD1ADAD;
      break;
    case UseContainer: {
      const QWidget* p = parentWidget();
      const QPalette pal = p ? p->palette() : QApplication::palette();
      const QColor bg = pal.color(p ? p->backgroundRole() : QPalette::Window);
      const QColor fg = pal.color(p ? p->foregroundRole() : QPalette::WindowText);
      s.F = pbPaint::Rgb(bg.red(), bg.green(), bg.blue());
      s.T = s.TH = pbPaint::Rgb(fg.red(), fg.green(), fg.blue());
      shifted(s.F);
      s.SB = pbColors::SystemColor(13);
      s.SF = pbPaint::Lighten(s.SB, 176);
      break;
    }
    default:
      s.F = pbColors::SystemColor(15);
      s.T = s.TH = pbColors::SystemColor(18);
      s.S = pbColors::SystemColor(16);
      s.L = pbColors::SystemColor(22);
      s.H = pbColors::SystemColor(20);
      s.D = pbColors::SystemColor(21);
      s.SB = pbColors::SystemColor(13);
      s.SF = pbPaint::Lighten(s.SB, 176);
      break;
  }
  s.M = pbColors::Translate(maskColor_);
  s.X = Shift(s.F, 48, buttonType_ == WindowsXP, soft);
  return s;
}

void pbCommand::computeScheme() { sc_ = schemeFor(backColor_); }

void pbCommand::AmbientChanged() {
  computeScheme();
  Redraw(lastState_, true);
}

void pbCommand::setDisplayAsDefault(bool v) {
  if (displayAsDefault_ == v) return;
  displayAsDefault_ = v;
  Redraw(lastState_, true);
}

// --- properties -------------------------------------------------------------------------------

void pbCommand::setGradientDir(GradientDirectionEnum v) {
  gradientDir_ = v;
  Redraw(lastState_, true);
  notify("GRADDIR");
}

void pbCommand::setGradColor1(OLE_COLOR v) {
  gradColor1_ = v;
  Redraw(lastState_, true);
  notify("GCOLOR1");
}

void pbCommand::setGradColor2(OLE_COLOR v) {
  gradColor2_ = v;
  Redraw(lastState_, true);
  notify("GCOLOR2");
}

QByteArray pbCommand::Imagen() const {
  std::vector<uint8_t> out;
  if (!image_->SaveToStream(out)) return {};
  return QByteArray(reinterpret_cast<const char*>(out.data()), qsizetype(out.size()));
}

void pbCommand::setImagen(const QByteArray& bytes) {
  image_->LoadPicture_Stream(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                                      size_t(bytes.size())));
  update();
  captionLayout();
  Redraw(lastState_, true);
  notify("PICPNG");
}

QSize pbCommand::pictureSize() const { return QSize(image_->Width(), image_->Height()); }

void pbCommand::setBackColor(OLE_COLOR v) {
  backColor_ = v;
  if (!userMode_) backOver_ = v;
  computeScheme();
  Redraw(lastState_, true);
  notify("BCOL");
}

void pbCommand::setBackOver(OLE_COLOR v) {
  backOver_ = v;
  computeScheme();
  Redraw(lastState_, true);
  notify("BCOLO");
}

void pbCommand::setForeColor(OLE_COLOR v) {
  foreColor_ = v;
  if (!userMode_) foreOver_ = v;
  computeScheme();
  Redraw(lastState_, true);
  notify("FCOL");
}

void pbCommand::setForeOver(OLE_COLOR v) {
  foreOver_ = v;
  computeScheme();
  Redraw(lastState_, true);
  notify("FCOLO");
}

void pbCommand::setMaskColor(OLE_COLOR v) {
  maskColor_ = v;
  computeScheme();
  Redraw(lastState_, true);
  notify("MCOL");
}

void pbCommand::setButtonType(ButtonTypes v) {
  buttonType_ = v;
  if (v == JavaMetal && !userMode_)
    setFontBold(true);
  else if (v == Transparent && drawingEnabled_)
    captureBackground();
  // The XP base colour depends on the style.
  computeScheme();
  resizeLayout();
  notify("BTYPE");
}

void pbCommand::setCaption(const QString& v) {
  caption_ = v;
  updateAccessKey();
  captionLayout();
  updateGeometry();
  Redraw(0, true);
  notify("TX");
}

void pbCommand::setEnabled(bool v) {
  QWidget::setEnabled(v);
  Redraw(0, true);
  notify("ENAB");
}

void pbCommand::setFont(const QFont& f) {
  QWidget::setFont(f);
  captionLayout();
  updateGeometry();
  Redraw(0, true);
  notify("FONT");
}

// The font's parts are set without telling the container; only Font itself is reported.
void pbCommand::applyFontPart(const std::function<void(QFont&)>& change) {
  QFont f = font();
  change(f);
  QWidget::setFont(f);
  captionLayout();
  Redraw(0, true);
}

void pbCommand::setFontBold(bool v) { applyFontPart([v](QFont& f) { f.setBold(v); }); }
void pbCommand::setFontItalic(bool v) { applyFontPart([v](QFont& f) { f.setItalic(v); }); }
void pbCommand::setFontUnderline(bool v) { applyFontPart([v](QFont& f) { f.setUnderline(v); }); }
int pbCommand::FontSize() const { return qRound(font().pointSizeF()); }

void pbCommand::setFontSize(int points) {
  if (points > 0) applyFontPart([points](QFont& f) { f.setPointSizeF(points); });
}

void pbCommand::setFontName(const QString& v) { applyFontPart([&v](QFont& f) { f.setFamily(v); }); }

void pbCommand::setColorScheme(ColorTypes v) {
  colorScheme_ = v;
  computeScheme();
  Redraw(0, true);
  notify("COLTYPE");
}

void pbCommand::setShowFocusRect(bool v) {
  showFocusRect_ = v;
  Redraw(lastState_, true);
  notify("FOCUSR");
}

void pbCommand::setMousePointer(int v) {
  mousePointer_ = qint16(v);
  applyCursor();
  notify("MPTR");
}

void pbCommand::setMouseIcon(const pbPicture& v) {
  mouseIcon_ = v;
  applyCursor();
  notify("MICON");
}

void pbCommand::setHandPointer(bool v) {
  handPointer_ = v;
  mouseIcon_ = pbPicture();
  mousePointer_ = v ? 99 : 1;
  applyCursor();
  notify("HAND");
}

void pbCommand::applyCursor() {
  if (mousePointer_ == 99) {
    if (handPointer_)
      setCursor(Qt::PointingHandCursor);
    else if (!mouseIcon_.isNull())
      setCursor(QCursor(QPixmap::fromImage(mouseIcon_.image)));
    else
      unsetCursor();
    return;
  }
  static const Qt::CursorShape shapes[] = {
      Qt::ArrowCursor, Qt::ArrowCursor, Qt::CrossCursor, Qt::IBeamCursor, Qt::ArrowCursor,
      Qt::SizeAllCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor, Qt::SizeFDiagCursor,
      Qt::SizeHorCursor, Qt::UpArrowCursor, Qt::WaitCursor, Qt::ForbiddenCursor, Qt::BusyCursor,
      Qt::WhatsThisCursor, Qt::SizeAllCursor};
  if (mousePointer_ <= 0 || mousePointer_ >= int(std::size(shapes)))
    unsetCursor();
  else
    setCursor(shapes[mousePointer_]);
}

qlonglong pbCommand::hwnd() const { return qlonglong(effectiveWinId()); }

void pbCommand::setSoftBevel(bool v) {
  softBevel_ = v;
  computeScheme();
  Redraw(lastState_, true);
  notify("SOFT");
}

void pbCommand::setPictureNormal(const pbPicture& v) {
  pictureNormal_ = v;
  captionLayout();
  Redraw(lastState_, true);
  notify("PICN");
}

void pbCommand::setPictureOver(const pbPicture& v) {
  pictureOver_ = v;
  if (hover_) Redraw(lastState_, true);
  notify("PICO");
}

void pbCommand::setPicturePosition(PicPositions v) {
  picturePosition_ = v;
  notify("PICPOS");
  captionLayout();
  Redraw(lastState_, true);
}

void pbCommand::setUseMaskColor(bool v) {
  useMaskColor_ = v;
  if (!pictureNormal_.isNull()) Redraw(lastState_, true);
  notify("UMCOL");
}

void pbCommand::setUseGreyscale(bool v) {
  useGreyscale_ = v;
  if (!pictureNormal_.isNull()) Redraw(lastState_, true);
  notify("NGREY");
}

void pbCommand::setSpecialEffect(fx v) {
  specialEffect_ = v;
  Redraw(lastState_, true);
  notify("FX");
}

void pbCommand::setCheckBoxBehaviour(bool v) {
  checkBox_ = v;
  Redraw(lastState_, true);
  notify("CHECK");
}

void pbCommand::setValue(bool v) {
  value_ = v;
  if (checkBox_) Redraw(0, true);
  notify("VALUE");
}

// --- methods ----------------------------------------------------------------------------------

void pbCommand::Refresh() {
  if (buttonType_ == Transparent) captureBackground();
  computeScheme();
  captionLayout();
  drawingEnabled_ = true;
  Redraw(lastState_, true);
}

void pbCommand::DisableRefresh() { drawingEnabled_ = false; }

void pbCommand::setBackgroundProvider(BackgroundProvider provider) {
  backgroundProvider_ = std::move(provider);
  if (buttonType_ == Transparent) captureBackground();
}

void pbCommand::captureBackground() {
  // The parent shows through the transparent parts of the canvas, so nothing needs copying;
  // a provider can still give a fixed background (for pictures of the button on its own).
  background_ = backgroundProvider_ ? backgroundProvider_(this) : QImage();
}

// --- persistence ------------------------------------------------------------------------------

static QVariant FontToBag(const QFont& f) {
  QVariantMap m;
  m["name"] = f.family();
  m["size"] = f.pointSizeF();
  m["bold"] = f.bold();
  m["italic"] = f.italic();
  m["underline"] = f.underline();
  m["strikethrough"] = f.strikeOut();
  m["weight"] = int(f.weight());
  m["charset"] = 134;  // GB2312, as the program's texts are Chinese
  return m;
}

static QFont FontFromBag(const QVariant& v, const QFont& fallback) {
  if (v.typeId() != QMetaType::QVariantMap) return fallback;
  const QVariantMap m = v.toMap();
  QFont f = fallback;
  if (m.contains("name")) f.setFamily(m.value("name").toString());
  const double size = m.value("size").toDouble();
  if (size > 0) f.setPointSizeF(size);
  if (m.contains("weight")) f.setWeight(QFont::Weight(std::clamp(m.value("weight").toInt(), 1, 1000)));
  if (m.contains("bold")) f.setBold(m.value("bold").toBool());
  f.setItalic(m.value("italic").toBool());
  f.setUnderline(m.value("underline").toBool());
  f.setStrikeOut(m.value("strikethrough").toBool());
  return f;
}

static QVariant PictureToBag(const pbPicture& p) {
  if (p.isNull()) return QVariantMap();
  QVariantMap m;
  m["kind"] = p.kind;
  m["data"] = QString::fromLatin1(p.data.toBase64());
  return m;
}

static pbPicture PictureFromBag(const QVariant& v) {
  if (v.typeId() != QMetaType::QVariantMap) return {};
  const QVariantMap m = v.toMap();
  pbPicture p = pbPicture::fromData(QByteArray::fromBase64(m.value("data").toString().toLatin1()));
  if (!p.isNull() && m.contains("kind")) p.kind = m.value("kind").toInt();
  return p;
}

// Numbers come back from JSON as doubles; colours may also have been written as signed values.
static quint32 ColorFromBag(const QVariant& v) { return quint32(qint64(v.toDouble())); }
static int IntFromBag(const QVariant& v) { return int(qint64(v.toDouble())); }

void pbCommand::ReadProperties(const PropertyBag& bag) {
  const quint32 face = pbColors::SystemColor(15), text = pbColors::SystemColor(18);
  buttonType_ = ButtonTypes(IntFromBag(bag.ReadProperty("BTYPE", 2)));
  caption_ = bag.ReadProperty("TX", QString()).toString();
  const bool enabled = bag.ReadProperty("ENAB", true).toBool();
  QWidget::setFont(FontFromBag(bag.ReadProperty("FONT", FontToBag(font())), font()));
  colorScheme_ = ColorTypes(IntFromBag(bag.ReadProperty("COLTYPE", 1)));
  showFocusRect_ = bag.ReadProperty("FOCUSR", true).toBool();
  backColor_ = ColorFromBag(bag.ReadProperty("BCOL", face));
  backOver_ = ColorFromBag(bag.ReadProperty("BCOLO", backColor_));
  foreColor_ = ColorFromBag(bag.ReadProperty("FCOL", text));
  foreOver_ = ColorFromBag(bag.ReadProperty("FCOLO", foreColor_));
  maskColor_ = ColorFromBag(bag.ReadProperty("MCOL", 12632256));
  mousePointer_ = qint16(IntFromBag(bag.ReadProperty("MPTR", 0)));
  mouseIcon_ = PictureFromBag(bag.ReadProperty("MICON"));
  pictureNormal_ = PictureFromBag(bag.ReadProperty("PICN"));
  pictureOver_ = PictureFromBag(bag.ReadProperty("PICH"));
  useMaskColor_ = bag.ReadProperty("UMCOL", true).toBool();
  softBevel_ = bag.ReadProperty("SOFT", false).toBool();
  picturePosition_ = PicPositions(IntFromBag(bag.ReadProperty("PICPOS", 0)));
  useGreyscale_ = bag.ReadProperty("NGREY", false).toBool();
  specialEffect_ = fx(IntFromBag(bag.ReadProperty("FX", 0)));
  // Through the property, so that it decides the pointer over MPTR and MICON.
  {
    const QSignalBlocker quiet(this);
    setHandPointer(bag.ReadProperty("HAND", false).toBool());
  }
  checkBox_ = bag.ReadProperty("CHECK", false).toBool();
  value_ = bag.ReadProperty("VALUE", false).toBool();
  pathIcon_ = bag.ReadProperty("PATHICON", QString()).toString();
  gradColor1_ = ColorFromBag(bag.ReadProperty("GCOLOR1", face));
  gradColor2_ = ColorFromBag(bag.ReadProperty("GCOLOR2", face));
  gradientDir_ = GradientDirectionEnum(IntFromBag(bag.ReadProperty("GRADDIR", 0)));
  // A design without a readable picture restores everything else and no picture.
  const QVariant png = bag.ReadProperty("PICPNG");
  image_->DestroyDIB();
  if (png.typeId() == QMetaType::QString) {
    const QByteArray bytes = QByteArray::fromBase64(png.toString().toLatin1());
    image_->LoadPicture_Stream(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
  }
  QWidget::setEnabled(enabled);
  updateAccessKey();
  computeScheme();
  resizeLayout();
}

void pbCommand::WriteProperties(PropertyBag& bag) const {
  auto colour = [](quint32 c) { return QVariant(qint64(c)); };
  bag.WriteProperty("BTYPE", int(buttonType_));
  bag.WriteProperty("TX", caption_);
  bag.WriteProperty("ENAB", Enabled());
  bag.WriteProperty("FONT", FontToBag(font()));
  bag.WriteProperty("COLTYPE", int(colorScheme_));
  bag.WriteProperty("FOCUSR", showFocusRect_);
  bag.WriteProperty("BCOL", colour(backColor_));
  bag.WriteProperty("BCOLO", colour(backOver_));
  bag.WriteProperty("FCOL", colour(foreColor_));
  bag.WriteProperty("FCOLO", colour(foreOver_));
  bag.WriteProperty("MCOL", colour(maskColor_));
  bag.WriteProperty("MPTR", int(qint16(mousePointer_)));
  bag.WriteProperty("MICON", mouseIcon_.isNull() ? QVariant() : PictureToBag(mouseIcon_));
  // An empty picture is not stored.
  bag.WriteProperty("PICN", PictureToBag(pictureNormal_), QVariantMap());
  bag.WriteProperty("PICH", PictureToBag(pictureOver_), QVariantMap());
  bag.WriteProperty("UMCOL", useMaskColor_);
  bag.WriteProperty("SOFT", softBevel_);
  bag.WriteProperty("PICPOS", int(picturePosition_));
  bag.WriteProperty("NGREY", useGreyscale_);
  bag.WriteProperty("FX", int(specialEffect_));
  bag.WriteProperty("HAND", handPointer_);
  bag.WriteProperty("CHECK", checkBox_);
  bag.WriteProperty("VALUE", value_);
  bag.WriteProperty("PATHICON", pathIcon_);
  bag.WriteProperty("PICPNG", QString::fromLatin1(Imagen().toBase64()));
  bag.WriteProperty("GCOLOR1", colour(gradColor1_));
  bag.WriteProperty("GCOLOR2", colour(gradColor2_));
  bag.WriteProperty("GRADDIR", int(gradientDir_));
}

// --- layout -----------------------------------------------------------------------------------

void pbCommand::captionLayout() { captionLayout(font()); }

void pbCommand::captionLayout(const QFont& f) {
  const QFontMetrics fm(f);
  auto measure = [&fm](int l, int t, int r, int b, const QString& text) {
    const QRect br = fm.boundingRect(QRect(l, t, r - l, b - t), Qt::TextWordWrap | Qt::TextShowMnemonic, text);
    return QPoint(l + br.width(), t + (text.isEmpty() ? 0 : br.height()));
  };
  pbPaint::Layout prev;
  prev.captionRect = layout_.captionRect;
  prev.left = layout_.left;
  prev.top = layout_.top;
  prev.right = layout_.right;
  prev.bottom = layout_.bottom;
  prev.pictureOrigin = layout_.pictureOrigin;
  const pbPaint::Layout l = pbPaint::ComputeLayout(width(), height(), image_->Width(), image_->Height(),
                                                   int(picturePosition_), caption_, measure, prev);
  layout_.captionRect = l.captionRect;
  layout_.left = l.left;
  layout_.top = l.top;
  layout_.right = l.right;
  layout_.bottom = l.bottom;
  layout_.pictureOrigin = l.pictureOrigin;
}

void pbCommand::syncGeometry() {
  W_ = width();
  Ht_ = height();
  const int t = int(buttonType_);
  QRect r(0, 0, W_, Ht_);
  if (t >= 7 && t <= 13)
    r.adjust(3, 3, -3, -3);
  else if (t == 14)
    r = r.adjusted(5, 5, -5, -5).translated(1, 1);
  else
    r.adjust(4, 4, -4, -4);
  focusRect_ = r;
  captionLayout();
  region_ = pbPaint::WindowRegion(t, W_, Ht_);
  if (W_ > 0 && Ht_ > 0 && region_.isEmpty())
    setMask(QRegion(-1, -1, 1, 1));  // nothing of a tiny shape is left; an empty mask would show all
  else if (W_ > 0 && Ht_ > 0)
    setMask(region_);
  canvas_ = QImage(std::max(W_, 0), std::max(Ht_, 0), QImage::Format_ARGB32_Premultiplied);
  canvas_.fill(Qt::transparent);
}

void pbCommand::resizeLayout() {
  syncGeometry();
  if (Ht_ != 0) Redraw(0, true);
}

void pbCommand::updateAccessKey() {
  if (shortcutId_) releaseShortcut(shortcutId_);
  shortcutId_ = 0;
  accessKey_ = pbPaint::AccessKey(caption_);
  if (accessKey_.isNull()) return;
  const QChar up = accessKey_.toUpper();
  shortcutId_ = grabShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(up.unicode()))));
}

QSize pbCommand::sizeHint() const {
  const QFontMetrics fm(font());
  const QRect br = fm.boundingRect(QRect(0, 0, 400, 200), Qt::TextShowMnemonic, caption_);
  int w = br.width() + 24, h = std::max(br.height() + 10, 23);
  const int pw = image_->Width(), ph = image_->Height();
  if (pw > 0) {
    if (picturePosition_ == cbTop || picturePosition_ == cbBottom)
      h = std::max(h, br.height() + ph + 12), w = std::max(w, pw + 12);
    else if (picturePosition_ != cbBackground)
      w += pw + 4, h = std::max(h, ph + 8);
  }
  return QSize(std::max(w, 75), h);
}

QSize pbCommand::minimumSizeHint() const { return QSize(23, 23); }

QByteArray pbCommand::StreamFromImage(const QImage& image) {
  if (image.isNull()) return {};
  const QImage img = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const int w = img.width(), h = img.height();
  const quint32 pixels = quint32(w) * quint32(h) * 4;
  QByteArray out(54, '\0');
  auto put32 = [&out](int at, quint32 v) { qToLittleEndian<quint32>(v, out.data() + at); };
  auto put16 = [&out](int at, quint16 v) { qToLittleEndian<quint16>(v, out.data() + at); };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, pixels + 54);
  put32(10, 54);
  put32(14, 40);
  put32(18, quint32(w));
  put32(22, quint32(h));
  put16(26, 1);
  put16(28, 32);
  put32(34, pixels);
  out.reserve(54 + qsizetype(pixels));
  for (int y = h - 1; y >= 0; --y) out.append(reinterpret_cast<const char*>(img.constScanLine(y)), w * 4);
  return out;
}

// --- events -----------------------------------------------------------------------------------

static int VbShift(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

static int VbButtons(Qt::MouseButtons b) {
  return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
}

// The key codes the key events carry (those of the keyboards the program was made for).
static int VirtualKey(const QKeyEvent* e) {
  const int k = e->key();
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return k;
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return k;
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 112 + (k - Qt::Key_F1);
  switch (k) {
    case Qt::Key_Space: return 32;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 9;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default: return e->nativeVirtualKey() ? int(e->nativeVirtualKey() & 0xFF) : 0;
  }
}

bool pbCommand::pointerOver(const QPoint* local) const {
  if (probe_) return probe_(this);
  if (local) {
    if (!rect().contains(*local)) return false;
    if (!mask().isEmpty() && !mask().contains(*local)) return false;
    return childAt(*local) == nullptr;
  }
  return QApplication::widgetAt(QCursor::pos()) == this;
}

void pbCommand::pressHandling(int button, int shift, double x, double y) {
  emit MouseDown(button, shift, x, y);
  lastButton_ = button;
  if (button != 2) Redraw(2, false);
}

void pbCommand::mousePressEvent(QMouseEvent* e) {
  const QPointF p = e->position();
  pressHandling(VbButtons(e->button()), VbShift(e->modifiers()), p.x(), p.y());
}

void pbCommand::mouseMoveEvent(QMouseEvent* e) {
  const int button = VbButtons(e->buttons());
  const QPointF p = e->position();
  emit MouseMove(button, VbShift(e->modifiers()), p.x(), p.y());
  if (button != 0 && button != 1) return;
  const QPoint local = p.toPoint();
  if (pointerOver(&local)) {
    if (button == 0 && !hover_) {
      overTimer_->start();
      hover_ = true;
      Redraw(0, true);
      emit MouseOver();
    } else if (button == 1) {
      hover_ = true;
      Redraw(2, false);
      hover_ = false;
    }
  } else {
    Redraw(0, false);
  }
}

void pbCommand::mouseReleaseEvent(QMouseEvent* e) {
  const int button = VbButtons(e->button());
  const QPointF p = e->position();
  QPointer<pbCommand> alive(this);
  emit MouseUp(button, VbShift(e->modifiers()), p.x(), p.y());
  if (!alive) return;
  if (button != 2) Redraw(0, false);
  // The click: pressed and released over the button.
  const QPoint local = p.toPoint();
  const bool inside = rect().contains(local) && (mask().isEmpty() || mask().contains(local));
  if (inside) clickHandling();
}

void pbCommand::mouseDoubleClickEvent(QMouseEvent* e) {
  Q_UNUSED(e);
  // The second press of a double click counts as a press of its own, so it clicks again.
  if (lastButton_ == 1) pressHandling(1, 0, 0, 0);
}

void pbCommand::clickHandling() {
  if (lastButton_ != 1 || !isEnabled()) return;
  if (checkBox_) value_ = !value_;
  Redraw(0, true);
  if (isVisible()) repaint();
  emit Click();
}

void pbCommand::PerformClick() {
  lastButton_ = 1;
  clickHandling();
}

void pbCommand::keyPressEvent(QKeyEvent* e) {
  QPointer<pbCommand> alive(this);
  int code = VirtualKey(e);
  emit KeyDown(code, VbShift(e->modifiers()));
  if (!alive) return;
  lastKey_ = code & 0xFF;
  bool used = true;
  switch (lastKey_) {
    case 32: if (!e->isAutoRepeat() || lastState_ != 2) Redraw(2, false); break;
    case 37: case 38: focusNextPrevChild(false); break;
    case 39: case 40: focusNextPrevChild(true); break;
    default: used = false; break;
  }
  if (!alive) return;
  if (!e->text().isEmpty()) {
    int ascii = e->text().at(0).unicode();
    emit KeyPress(ascii);
    if (!alive) return;
  }
  // Keys the button does not use go on to the window (Enter to its default button, Esc).
  e->setAccepted(used);
}

void pbCommand::keyReleaseEvent(QKeyEvent* e) {
  if (e->isAutoRepeat()) return;
  QPointer<pbCommand> alive(this);
  int code = VirtualKey(e);
  emit KeyUp(code, VbShift(e->modifiers()));
  if (!alive) return;
  if (lastKey_ == 32 && code == 32) {
    if (checkBox_) value_ = !value_;
    Redraw(0, false);
    if (isVisible()) repaint();
    emit Click();
    return;
  }
  e->ignore();
}

void pbCommand::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  hasFocus_ = true;
  Redraw(lastState_, true);
}

void pbCommand::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  hasFocus_ = false;
  Redraw(lastState_, true);
}

void pbCommand::onHoverTick() {
  if (pointerOver(nullptr)) return;
  overTimer_->stop();
  hover_ = false;
  Redraw(0, true);
  emit MouseOut();
}

void pbCommand::leaveEvent(QEvent* e) {
  QWidget::leaveEvent(e);
  // The timer would notice soon; the leave tells us at once.
  if (overTimer_->isActive()) onHoverTick();
}

bool pbCommand::event(QEvent* e) {
  if (e->type() == QEvent::Shortcut) {
    auto* se = static_cast<QShortcutEvent*>(e);
    if (se->shortcutId() == shortcutId_ && shortcutId_ != 0) {
      PerformClick();
      return true;
    }
  }
  return QWidget::event(e);
}

void pbCommand::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  resizeLayout();
}

void pbCommand::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (buttonType_ == Transparent) captureBackground();
  drawingEnabled_ = true;
  computeScheme();
  if (canvas_.size() != size()) syncGeometry();
  Redraw(0, true);
}

void pbCommand::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  if (!e->spontaneous()) drawingEnabled_ = false;
}

void pbCommand::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  switch (e->type()) {
    case QEvent::EnabledChange:
      Redraw(0, true);
      break;
    case QEvent::FontChange:
      captionLayout();
      Redraw(lastState_, true);
      break;
    case QEvent::PaletteChange:
    case QEvent::ParentChange:
      AmbientChanged();
      break;
    default:
      break;
  }
}

void pbCommand::paintEvent(QPaintEvent*) {
  flushDrawing();
  if (canvas_.isNull()) return;
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  p.drawImage(0, 0, canvas_);
}
