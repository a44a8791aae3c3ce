#pragma once
// The picture command button that nearly every window of the program uses: 13 drawing styles
// with colour schemes, gradients and a picture, hover tracking, a CheckBox mode, and a design
// kept in a PropertyBag. It is drawn into a 32-bit canvas of its own, shown by paintEvent.
#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QMetaType>
#include <QRegion>
#include <QWidget>

#include <functional>
#include <memory>

namespace pressel {
class cImage32;
}
class PropertyBag;
class QTimer;
namespace pbPaint {
class Raster;
}

// A colour as the button's colour properties hold it: 0x00BBGGRR, or 0x800000nn for the system
// colour nn (15 button face, 18 button text, ...).
using OLE_COLOR = quint32;

// A picture of PictureNormal, PictureOver or MouseIcon: the image and the file bytes it came
// from (which are what the design keeps).
struct pbPicture {
  enum Kind { None = 0, Bitmap = 1, Icon = 3 };
  int kind = None;
  QImage image;
  QByteArray data;

  bool isNull() const { return image.isNull(); }
  // Decodes image file bytes; an .ico/.cur becomes an Icon, anything else a Bitmap. A null
  // picture when Qt cannot read them.
  static pbPicture fromData(const QByteArray& bytes);
  static pbPicture fromFile(const QString& path);
  // A picture of an image made in code (kept as PNG bytes).
  static pbPicture fromImage(const QImage& image, int kind = Bitmap);
  bool operator==(const pbPicture& o) const { return kind == o.kind && data == o.data; }
};
Q_DECLARE_METATYPE(pbPicture)

class pbCommand : public QWidget {
  Q_OBJECT
  Q_PROPERTY(GradientDirectionEnum GradientDir READ GradientDir WRITE setGradientDir)
  Q_PROPERTY(OLE_COLOR GradColor2 READ GradColor2 WRITE setGradColor2)
  Q_PROPERTY(OLE_COLOR GradColor1 READ GradColor1 WRITE setGradColor1)
  Q_PROPERTY(QByteArray Imagen READ Imagen WRITE setImagen)
  Q_PROPERTY(OLE_COLOR BackColor READ BackColor WRITE setBackColor)
  Q_PROPERTY(OLE_COLOR BackOver READ BackOver WRITE setBackOver)
  Q_PROPERTY(OLE_COLOR ForeColor READ ForeColor WRITE setForeColor)
  Q_PROPERTY(OLE_COLOR ForeOver READ ForeOver WRITE setForeOver)
  Q_PROPERTY(OLE_COLOR MaskColor READ MaskColor WRITE setMaskColor)
  Q_PROPERTY(ButtonTypes ButtonType READ ButtonType WRITE setButtonType)
  Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
  Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
  Q_PROPERTY(QFont Font READ Font WRITE setFont)
  Q_PROPERTY(bool FontBold READ FontBold WRITE setFontBold DESIGNABLE false)
  Q_PROPERTY(bool FontItalic READ FontItalic WRITE setFontItalic DESIGNABLE false)
  Q_PROPERTY(bool FontUnderline READ FontUnderline WRITE setFontUnderline DESIGNABLE false)
  Q_PROPERTY(int FontSize READ FontSize WRITE setFontSize DESIGNABLE false)
  Q_PROPERTY(QString FontName READ FontName WRITE setFontName DESIGNABLE false)
  Q_PROPERTY(ColorTypes ColorScheme READ ColorScheme WRITE setColorScheme)
  Q_PROPERTY(bool ShowFocusRect READ ShowFocusRect WRITE setShowFocusRect)
  Q_PROPERTY(int MousePointer READ MousePointer WRITE setMousePointer)
  Q_PROPERTY(pbPicture MouseIcon READ MouseIcon WRITE setMouseIcon)
  Q_PROPERTY(bool HandPointer READ HandPointer WRITE setHandPointer)
  Q_PROPERTY(qlonglong hwnd READ hwnd)
  Q_PROPERTY(bool SoftBevel READ SoftBevel WRITE setSoftBevel)
  Q_PROPERTY(pbPicture PictureNormal READ PictureNormal WRITE setPictureNormal)
  Q_PROPERTY(pbPicture PictureOver READ PictureOver WRITE setPictureOver)
  Q_PROPERTY(PicPositions PicturePosition READ PicturePosition WRITE setPicturePosition)
  Q_PROPERTY(bool UseMaskColor READ UseMaskColor WRITE setUseMaskColor)
  Q_PROPERTY(bool UseGreyscale READ UseGreyscale WRITE setUseGreyscale)
  Q_PROPERTY(fx SpecialEffect READ SpecialEffect WRITE setSpecialEffect)
  Q_PROPERTY(bool CheckBoxBehaviour READ CheckBoxBehaviour WRITE setCheckBoxBehaviour)
  Q_PROPERTY(bool Value READ Value WRITE setValue)
  Q_PROPERTY(QString Version READ Version DESIGNABLE false)

public:
  // Styles; the property browser names are ButtonTypeName(). There is no 10.
  enum ButtonTypes : int {
    Windows16bit = 1, Windows32bit = 2, WindowsXP = 3, Mac = 4, JavaMetal = 5, Netscape6 = 6,
    SimpleFlat = 7, FlatHighlight = 8, OfficeXP = 9, Transparent = 11, Hover3D = 12, OvalFlat = 13,
    KDE2 = 14,
  };
  Q_ENUM(ButtonTypes)
  enum GradientDirectionEnum : int {
    Fill_None = 0, Fill_Horizontal = 1, Fill_HorizontalMiddleOut = 2, Fill_Vertical = 3,
    Fill_VerticalMiddleOut = 4, Fill_DownwardDiagonal = 5, Fill_UpwardDiagonal = 6,
  };
  Q_ENUM(GradientDirectionEnum)
  // "Use Windows", "Custom", "Force Standard", "Use Container".
  enum ColorTypes : int { UseWindows = 1, Custom = 2, ForceStandard = 3, UseContainer = 4 };
  Q_ENUM(ColorTypes)
  enum PicPositions : int { cbLeft = 0, cbRight = 1, cbTop = 2, cbBottom = 3, cbBackground = 4 };
  Q_ENUM(PicPositions)
  enum fx : int { cbNone = 0, cbEmbossed = 1, cbEngraved = 2, cbShadowed = 3 };
  Q_ENUM(fx)

  static QString ButtonTypeName(int type);   // "Windows 16-bit", ...; empty for unknown values
  static QString ColorTypeName(int scheme);  // "Use Windows", ...

  explicit pbCommand(QWidget* parent = nullptr);
  ~pbCommand() override;

  // --- properties ---
  GradientDirectionEnum GradientDir() const { return gradientDir_; }
  void setGradientDir(GradientDirectionEnum v);
  OLE_COLOR GradColor1() const { return gradColor1_; }
  void setGradColor1(OLE_COLOR v);
  OLE_COLOR GradColor2() const { return gradColor2_; }
  void setGradColor2(OLE_COLOR v);
  // The picture as a 32-bit BMP byte stream; empty without a picture. Assigning bytes that hold
  // no readable picture of more than 56 bytes leaves the picture as it was.
  QByteArray Imagen() const;
  void setImagen(const QByteArray& bytes);
  OLE_COLOR BackColor() const { return backColor_; }
  void setBackColor(OLE_COLOR v);
  OLE_COLOR BackOver() const { return backOver_; }
  void setBackOver(OLE_COLOR v);
  OLE_COLOR ForeColor() const { return foreColor_; }
  void setForeColor(OLE_COLOR v);
  OLE_COLOR ForeOver() const { return foreOver_; }
  void setForeOver(OLE_COLOR v);
  OLE_COLOR MaskColor() const { return maskColor_; }
  void setMaskColor(OLE_COLOR v);
  ButtonTypes ButtonType() const { return buttonType_; }
  void setButtonType(ButtonTypes v);
  QString Caption() const { return caption_; }
  void setCaption(const QString& v);
  // The button's own enabled state (a button inside a disabled window is drawn disabled too).
  bool Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }
  void setEnabled(bool v);
  QFont Font() const { return font(); }
  void setFont(const QFont& f);
  bool FontBold() const { return font().bold(); }
  void setFontBold(bool v);
  bool FontItalic() const { return font().italic(); }
  void setFontItalic(bool v);
  bool FontUnderline() const { return font().underline(); }
  void setFontUnderline(bool v);
  int FontSize() const;
  void setFontSize(int points);
  QString FontName() const { return font().family(); }
  void setFontName(const QString& v);
  ColorTypes ColorScheme() const { return colorScheme_; }
  void setColorScheme(ColorTypes v);
  bool ShowFocusRect() const { return showFocusRect_; }
  void setShowFocusRect(bool v);
  // 0 default, 1 arrow, 2 cross, 3 I-beam, 5/15 size all, 6-9 sizes, 10 up arrow, 11 hourglass,
  // 12 no drop, 13 arrow and hourglass, 99 MouseIcon.
  int MousePointer() const { return mousePointer_; }
  void setMousePointer(int v);
  pbPicture MouseIcon() const { return mouseIcon_; }
  void setMouseIcon(const pbPicture& v);
  bool HandPointer() const { return handPointer_; }
  void setHandPointer(bool v);
  qlonglong hwnd() const;
  bool SoftBevel() const { return softBevel_; }
  void setSoftBevel(bool v);
  pbPicture PictureNormal() const { return pictureNormal_; }
  void setPictureNormal(const pbPicture& v);
  pbPicture PictureOver() const { return pictureOver_; }
  void setPictureOver(const pbPicture& v);
  PicPositions PicturePosition() const { return picturePosition_; }
  void setPicturePosition(PicPositions v);
  bool UseMaskColor() const { return useMaskColor_; }
  void setUseMaskColor(bool v);
  bool UseGreyscale() const { return useGreyscale_; }
  void setUseGreyscale(bool v);
  fx SpecialEffect() const { return specialEffect_; }
  void setSpecialEffect(fx v);
  bool CheckBoxBehaviour() const { return checkBox_; }
  void setCheckBoxBehaviour(bool v);
  bool Value() const { return value_; }
  void setValue(bool v);
  QString Version() const { return QStringLiteral("2.1.1"); }

  // --- methods ---
  // Takes the background again (Transparent), recomputes colours and layout, enables drawing
  // and redraws.
  void Refresh();
  // Nothing is drawn until the next Refresh.
  void DisableRefresh();

  // --- the design ---
  // A new button's values: the container's name for it as caption, its font, style 2, scheme 1.
  void InitProperties();
  void ReadProperties(const PropertyBag& bag);
  void WriteProperties(PropertyBag& bag) const;
  // The text kept under PATHICON, which no property shows.
  QString PathIcon() const { return pathIcon_; }

  // --- what the container tells the button ---
  // Run time (true, the default) or design time (false): at design time BackColor and ForeColor
  // also set their hover colours, and Java metal makes the font bold.
  bool AmbientUserMode() const { return userMode_; }
  void setAmbientUserMode(bool v) { userMode_ = v; }
  // Whether the window marks this button as its default button (drawn by some styles).
  bool DisplayAsDefault() const { return displayAsDefault_; }
  void setDisplayAsDefault(bool v);
  // The container's colours or font changed: recompute the colours and redraw.
  void AmbientChanged();

  // --- clicking from outside the mouse and keyboard (an access key, a window's Enter) ---
  void PerformClick();

  // --- drawing, also for tests and the render tool ---
  // Paints the canvas in state 0 (normal, hovered when the hover flag is set), 2 (pressed) or
  // any other value (face only). Skipped unless forced or the state or caption changed.
  // A button inside a window that is not shown yet only notes the redraw; it is painted when shown,
  // painted or its canvas is read, so what it shows is the same.
  void Redraw(int state, bool force);
  const QImage& canvas() const {
    flushDrawing();
    return canvas_;
  }
  // How many times the canvas was painted.
  int drawCount() const { return drawCount_; }
  QRegion windowRegion() const { return region_; }
  QRect captionRect() const { return layout_.captionRect; }
  QPoint pictureOrigin() const { return layout_.pictureOrigin; }
  QSize pictureSize() const;
  QRect focusRect() const { return focusRect_; }
  QChar accessKey() const { return accessKey_; }
  bool isHovered() const { return hover_; }
  bool hasFocusFlag() const { return hasFocus_; }
  int lastState() const { return lastState_; }
  // The scheme colours as last computed (0x00BBGGRR).
  struct Scheme { quint32 F, T, TH, L, S, D, H, SB, SF, M, X; };
  const Scheme& scheme() const { return sc_; }
  // Sets the hover flag as a pointer over the button would, without events (render tool).
  void setHoverForDrawing(bool v) { hover_ = v; }
  // Sets the focus flag as focus would, without a window (render tool).
  void setFocusForDrawing(bool v) { hasFocus_ = v; }

  // Whether the pointer is over the button; the default asks which widget is under the cursor.
  using PointerProbe = std::function<bool(const pbCommand*)>;
  void setPointerProbe(PointerProbe probe) { probe_ = std::move(probe); }
  // What a Transparent button shows behind its caption; by default nothing (the parent shows through).
  using BackgroundProvider = std::function<QImage(const pbCommand*)>;
  void setBackgroundProvider(BackgroundProvider provider);
  // Interval of the hover timer in milliseconds.
  static constexpr int kHoverInterval = 15;

  // A picture for Imagen from an image made in code: the 32-bit BMP stream Imagen takes.
  static QByteArray StreamFromImage(const QImage& image);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

signals:
  void Click();
  void MouseDown(int Button, int Shift, double X, double Y);
  void MouseMove(int Button, int Shift, double X, double Y);
  void MouseUp(int Button, int Shift, double X, double Y);
  // Handlers may change the key by reference (0 cancels a Space click).
  void KeyPress(int& KeyAscii);
  void KeyDown(int& KeyCode, int Shift);
  void KeyUp(int& KeyCode, int Shift);
  void MouseOver();
  void MouseOut();
  // A property of the design changed; `key` is its bag key (PICO for PictureOver).
  void propertyChanged(const QString& key);

protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void changeEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void leaveEvent(QEvent* e) override;

private:
  void notify(const char* key) { emit propertyChanged(QString::fromLatin1(key)); }
  void applyFontPart(const std::function<void(QFont&)>& change);
  void computeScheme();
  Scheme schemeFor(OLE_COLOR face) const;
  void resizeLayout();
  void syncGeometry();
  void captionLayout();
  void captionLayout(const QFont& f);
  void updateAccessKey();
  void applyCursor();
  void captureBackground();
  void pressHandling(int button, int shift, double x, double y);
  void clickHandling();
  void onHoverTick();
  bool pointerOver(const QPoint* local) const;

  // drawing
  void paintCanvas();
  void flushDrawing() const;
  void drawNormal(pbPaint::Raster& g);
  void drawPressed(pbPaint::Raster& g);
  void drawDisabled(pbPaint::Raster& g);
  void drawCaption(pbPaint::Raster& g, int mode);
  void drawCaptionText(pbPaint::Raster& g, const QRect& r, quint32 colour);
  void drawEffect(pbPaint::Raster& g, const QRect& r, int mode);
  void drawFocus(pbPaint::Raster& g);
  void drawPicture(pbPaint::Raster& g, int mode);
  void drawPictureOver(pbPaint::Raster& g, int x, int y);
  void drawBackground(pbPaint::Raster& g);
  void drawXPNormal(pbPaint::Raster& g);
  void drawXPPressed(pbPaint::Raster& g);
  void drawMac(pbPaint::Raster& g, bool disabled);
  void drawMacPressed(pbPaint::Raster& g);
  void drawKDENormal(pbPaint::Raster& g);
  void kdeRamp(pbPaint::Raster& g);

  // stored properties
  GradientDirectionEnum gradientDir_ = Fill_None;
  OLE_COLOR gradColor1_ = 0, gradColor2_ = 0;
  OLE_COLOR backColor_ = 0, backOver_ = 0, foreColor_ = 0, foreOver_ = 0, maskColor_ = 0xC0C0C0;
  ButtonTypes buttonType_ = Windows32bit;
  QString caption_;
  ColorTypes colorScheme_ = UseWindows;
  bool showFocusRect_ = true;
  int mousePointer_ = 0;
  pbPicture mouseIcon_;
  bool handPointer_ = false;
  bool softBevel_ = false;
  pbPicture pictureNormal_, pictureOver_;
  PicPositions picturePosition_ = cbLeft;
  bool useMaskColor_ = true, useGreyscale_ = false;
  fx specialEffect_ = cbNone;
  bool checkBox_ = false, value_ = false;
  QString pathIcon_;
  std::unique_ptr<pressel::cImage32> image_;

  // ambient
  bool userMode_ = true;
  bool displayAsDefault_ = false;

  // input state
  int lastButton_ = 0;
  int lastKey_ = 0;
  bool hasFocus_ = false;
  bool hover_ = false;
  QTimer* overTimer_ = nullptr;
  PointerProbe probe_;
  int shortcutId_ = 0;
  QChar accessKey_;
  bool pressedInside_ = false;

  // drawing state
  bool drawingEnabled_ = true;
  int lastState_ = 0;
  QString lastCaption_;
  bool drawnOnce_ = false;
  bool drawPending_ = false;
  int drawCount_ = 0;
  int lastCaptionMode_ = 0;
  int W_ = 0, Ht_ = 0;
  QRect focusRect_;
  struct LayoutState {
    QRect captionRect;
    int left = 0, top = 0, right = 0, bottom = 0;
    QPoint pictureOrigin;
  } layout_;
  Scheme sc_{};
  QImage canvas_;
  QRegion region_;
  QImage background_;
  BackgroundProvider backgroundProvider_;
  bool boldForDefault_ = false;
};

// The system colours that "Use Windows" and the 0x800000nn colours use. By default they follow
// the application palette; a table can be set (the render tool and tests use fixed ones).
namespace pbColors {
// The RGB (0x00BBGGRR) of system colour `index` (15 button face, 16 shadow, 18 button text,
// 20 highlight edge, 21 dark shadow, 22 light, 13 selection, 5 window, 8 window text, ...).
quint32 SystemColor(int index);
using SystemColorTable = std::function<quint32(int index)>;
void SetSystemColorTable(SystemColorTable table);  // empty restores the palette
// The classic Windows values, for deterministic pictures.
quint32 ClassicColor(int index);
// A colour property's RGB: system colours looked up, the high byte dropped otherwise.
quint32 Translate(OLE_COLOR c);
}  // namespace pbColors
