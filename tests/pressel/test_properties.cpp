// Properties of the button: their values at creation, what each assignment does, and the design
// kept in the property bag.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <functional>

#include "PropertyBag.h"
#include "pbCommand.h"
#include "pbPaint.h"

namespace {

const QStringList kWriteOrder = {"BTYPE", "TX", "ENAB", "FONT", "COLTYPE", "FOCUSR", "BCOL", "BCOLO", "FCOL", "FCOLO",
                                 "MCOL", "MPTR", "MICON", "PICN", "PICH", "UMCOL", "SOFT", "PICPOS", "NGREY", "FX",
                                 "HAND", "CHECK", "VALUE", "PATHICON", "PICPNG", "GCOLOR1", "GCOLOR2", "GRADDIR"};
const QStringList kReadOrder = {"BTYPE", "TX", "ENAB", "FONT", "COLTYPE", "FOCUSR", "BCOL", "BCOLO", "FCOL", "FCOLO",
                                "MCOL", "MPTR", "MICON", "PICN", "PICH", "UMCOL", "SOFT", "PICPOS", "NGREY", "FX",
                                "HAND", "CHECK", "VALUE", "PATHICON", "GCOLOR1", "GCOLOR2", "GRADDIR", "PICPNG"};

QImage Solid(int w, int h, QRgb c) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(c);
  return img;
}

const quint32 kFace = pbPaint::Rgb(212, 208, 200), kText = 0;  // the classic system colours the tests use

PropertyBag ThroughText(const PropertyBag& bag) { return PropertyBag::fromJsonText(bag.toJsonText()); }

}  // namespace

TEST(ButtonProperties, ValuesOfANewButton) {
  pbCommand b;
  EXPECT_EQ(b.ButtonType(), pbCommand::Windows32bit);
  EXPECT_EQ(b.ColorScheme(), pbCommand::UseWindows);
  EXPECT_EQ(b.BackColor(), kFace);
  EXPECT_EQ(b.BackOver(), kFace);
  EXPECT_EQ(b.ForeColor(), kText);
  EXPECT_EQ(b.MaskColor(), 12632256u);
  EXPECT_EQ(b.GradColor1(), 0u);
  EXPECT_EQ(b.GradientDir(), pbCommand::Fill_None);
  EXPECT_TRUE(b.Enabled());
  EXPECT_TRUE(b.ShowFocusRect());
  EXPECT_TRUE(b.UseMaskColor());
  EXPECT_FALSE(b.Value());
  EXPECT_TRUE(b.Imagen().isEmpty());
  EXPECT_EQ(b.Version(), QStringLiteral("2.1.1"));
  EXPECT_EQ(b.property("Version").toString(), QStringLiteral("2.1.1"));
  // The Qt property system reaches every property by its name.
  EXPECT_TRUE(b.setProperty("ButtonType", 9));
  EXPECT_EQ(b.ButtonType(), pbCommand::OfficeXP);
  EXPECT_TRUE(b.setProperty("Caption", QStringLiteral("保存(&S)")));
  EXPECT_EQ(b.property("Caption").toString(), QStringLiteral("保存(&S)"));
}

TEST(ButtonProperties, EachAssignmentNotifiesItsBagKey) {
  pbCommand b;
  QSignalSpy spy(&b, &pbCommand::propertyChanged);
  const pbPicture pic = pbPicture::fromImage(Solid(4, 4, qRgb(1, 2, 3)));
  b.setGradientDir(pbCommand::Fill_Vertical);
  b.setGradColor1(1);
  b.setGradColor2(2);
  b.setImagen(pbCommand::StreamFromImage(Solid(3, 3, qRgb(9, 9, 9))));
  b.setBackColor(3);
  b.setBackOver(4);
  b.setForeColor(5);
  b.setForeOver(6);
  b.setMaskColor(7);
  b.setButtonType(pbCommand::Mac);
  b.setCaption(QStringLiteral("x"));
  b.setEnabled(false);
  b.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
  b.setColorScheme(pbCommand::Custom);
  b.setShowFocusRect(false);
  b.setMousePointer(2);
  b.setMouseIcon(pic);
  b.setHandPointer(true);
  b.setSoftBevel(true);
  b.setPictureNormal(pic);
  b.setPictureOver(pic);
  b.setPicturePosition(pbCommand::cbTop);
  b.setUseMaskColor(false);
  b.setUseGreyscale(true);
  b.setSpecialEffect(pbCommand::cbEngraved);
  b.setCheckBoxBehaviour(true);
  b.setValue(true);
  // The parts of the font are not reported.
  b.setFontBold(true);
  b.setFontItalic(true);
  b.setFontUnderline(true);
  b.setFontSize(14);
  b.setFontName(QStringLiteral("DejaVu Serif"));
  QStringList names;
  for (const auto& args : spy) names << args.at(0).toString();
  EXPECT_EQ(names, QStringList({"GRADDIR", "GCOLOR1", "GCOLOR2", "PICPNG", "BCOL", "BCOLO", "FCOL", "FCOLO", "MCOL",
                                "BTYPE", "TX", "ENAB", "FONT", "COLTYPE", "FOCUSR", "MPTR", "MICON", "HAND", "SOFT",
                                "PICN", "PICO", "PICPOS", "UMCOL", "NGREY", "FX", "CHECK", "VALUE"}));
  EXPECT_TRUE(b.FontBold());
  EXPECT_TRUE(b.FontItalic());
  EXPECT_EQ(b.FontSize(), 14);
}

TEST(ButtonProperties, DesignTimeColoursAlsoSetTheHoverColours) {
  pbCommand run;
  run.setBackColor(0x112233);
  run.setForeColor(0x445566);
  EXPECT_EQ(run.BackOver(), kFace);
  EXPECT_EQ(run.ForeOver(), kText);

  pbCommand design;
  design.setAmbientUserMode(false);
  design.setBackColor(0x112233);
  design.setForeColor(0x445566);
  EXPECT_EQ(design.BackOver(), 0x112233u);
  EXPECT_EQ(design.ForeOver(), 0x445566u);
}

TEST(ButtonProperties, JavaMetalMakesTheFontBoldOnlyAtDesignTime) {
  pbCommand run;
  run.setButtonType(pbCommand::JavaMetal);
  EXPECT_FALSE(run.FontBold());
  pbCommand design;
  design.setAmbientUserMode(false);
  design.setButtonType(pbCommand::JavaMetal);
  EXPECT_TRUE(design.FontBold());
}

TEST(ButtonProperties, HandPointerDecidesThePointer) {
  pbCommand b;
  b.setMousePointer(11);
  EXPECT_EQ(b.cursor().shape(), Qt::WaitCursor);
  b.setHandPointer(true);
  EXPECT_EQ(b.MousePointer(), 99);
  EXPECT_EQ(b.cursor().shape(), Qt::PointingHandCursor);
  b.setHandPointer(false);
  EXPECT_EQ(b.MousePointer(), 1);
  EXPECT_EQ(b.cursor().shape(), Qt::ArrowCursor);
}

TEST(ButtonProperties, ImagenKeepsItsPictureWhenGivenTooFewBytes) {
  pbCommand b;
  b.setImagen(pbCommand::StreamFromImage(Solid(2, 3, qRgb(200, 0, 0))));
  const QByteArray saved = b.Imagen();
  ASSERT_EQ(saved.size(), 78);  // 54 header bytes and 2 x 3 pixels
  EXPECT_EQ(b.pictureSize(), QSize(2, 3));
  b.setImagen(QByteArray(56, 'x'));
  EXPECT_EQ(b.Imagen(), saved);
  b.setImagen(QByteArray());
  EXPECT_EQ(b.pictureSize(), QSize(2, 3));
}

TEST(ButtonDesign, AllDefaultsWriteEveryKeyButThePicturesAndComeBack) {
  pbCommand b;
  PropertyBag bag;
  b.WriteProperties(bag);
  EXPECT_EQ(bag.writeLog(), kWriteOrder);
  QStringList expected = kWriteOrder;
  expected.removeAll("PICN");
  expected.removeAll("PICH");
  expected.sort();
  QStringList keys = bag.keys();
  keys.sort();
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(bag.ReadProperty("PICPNG").toString(), QString());  // no picture: an empty byte array

  pbCommand back;
  back.setButtonType(pbCommand::KDE2);  // to be overwritten
  const PropertyBag text = ThroughText(bag);
  back.ReadProperties(text);
  EXPECT_EQ(text.readLog(), kReadOrder);
  PropertyBag again;
  back.WriteProperties(again);
  // All the same, except the pointer: HAND, read last, turns the default pointer 0 into the arrow 1.
  EXPECT_EQ(again.ReadProperty("MPTR").toInt(), 1);
  again.WriteProperty("MPTR", 0);
  EXPECT_EQ(again.toJsonText().toStdString(), bag.toJsonText().toStdString());
  EXPECT_TRUE(back.Imagen().isEmpty());
}

TEST(ButtonDesign, EveryPropertySurvivesTheJsonRoundTrip) {
  pbCommand b;
  b.setButtonType(pbCommand::OfficeXP);
  b.setCaption(QStringLiteral("借贷登记(&J)"));
  b.setEnabled(false);
  QFont f(QStringLiteral("DejaVu Serif"));
  f.setPointSizeF(12.5);
  f.setItalic(true);
  f.setUnderline(true);
  f.setStrikeOut(true);
  f.setWeight(QFont::Bold);
  b.setFont(f);
  b.setColorScheme(pbCommand::Custom);
  b.setShowFocusRect(false);
  b.setBackColor(0x80000005);  // a system colour
  b.setBackOver(0x102030);
  b.setForeColor(0x405060);
  b.setForeOver(0x708090);
  b.setMaskColor(0xFF00FF);
  b.setMousePointer(11);
  b.setMouseIcon(pbPicture::fromImage(Solid(8, 8, qRgb(1, 1, 1)), pbPicture::Icon));
  b.setPictureNormal(pbPicture::fromImage(Solid(5, 5, qRgb(10, 20, 30))));
  b.setPictureOver(pbPicture::fromImage(Solid(6, 6, qRgb(40, 50, 60))));
  b.setUseMaskColor(false);
  b.setSoftBevel(true);
  b.setPicturePosition(pbCommand::cbBottom);
  b.setUseGreyscale(true);
  b.setSpecialEffect(pbCommand::cbShadowed);
  b.setCheckBoxBehaviour(true);
  b.setValue(true);
  b.setGradColor1(0xABCDEF);
  b.setGradColor2(0x0A0B0C);
  b.setGradientDir(pbCommand::Fill_UpwardDiagonal);
  QImage pic = Solid(3, 2, qRgba(0, 0, 0, 0));
  pic.setPixel(0, 0, qRgba(100, 50, 25, 128));
  pic.setPixel(2, 1, qRgb(1, 2, 3));
  b.setImagen(pbCommand::StreamFromImage(pic));

  PropertyBag bag;
  b.WriteProperties(bag);
  bag.WriteProperty("PATHICON", QStringLiteral("C:\\图标\\a.ico"));  // kept for no property
  pbCommand back;
  back.ReadProperties(ThroughText(bag));

  for (const char* name : {"ButtonType", "Caption", "ColorScheme", "ShowFocusRect", "BackColor", "BackOver",
                           "ForeColor", "ForeOver", "MaskColor", "UseMaskColor", "SoftBevel", "PicturePosition",
                           "UseGreyscale", "SpecialEffect", "CheckBoxBehaviour", "Value", "GradColor1", "GradColor2",
                           "GradientDir", "Imagen", "HandPointer", "FontName", "FontItalic", "FontUnderline"})
    EXPECT_EQ(back.property(name), b.property(name)) << name;
  EXPECT_FALSE(back.Enabled());
  EXPECT_DOUBLE_EQ(back.Font().pointSizeF(), 12.5);
  EXPECT_TRUE(back.Font().strikeOut());
  EXPECT_EQ(back.Font().weight(), QFont::Bold);
  EXPECT_EQ(back.PictureNormal(), b.PictureNormal());
  EXPECT_EQ(back.PictureOver(), b.PictureOver());
  EXPECT_EQ(back.PictureNormal().image.size(), QSize(5, 5));
  // HAND, read after MPTR and MICON, resets the pointer to the arrow and drops the icon.
  EXPECT_EQ(back.MousePointer(), 1);
  EXPECT_TRUE(back.MouseIcon().isNull());
  EXPECT_EQ(back.PathIcon(), QStringLiteral("C:\\图标\\a.ico"));
  EXPECT_EQ(back.accessKey(), QLatin1Char('j'));
  PropertyBag again;
  back.WriteProperties(again);
  EXPECT_EQ(again.ReadProperty("PATHICON").toString(), QStringLiteral("C:\\图标\\a.ico"));
  EXPECT_EQ(again.ReadProperty("MPTR").toInt(), 1);
}

TEST(ButtonDesign, MissingKeysTakeTheirReadDefaults) {
  PropertyBag bag;
  bag.WriteProperty("BCOL", 0x123456);
  bag.WriteProperty("FCOL", 0x654321);
  bag.WriteProperty("MPTR", 11);
  bag.WriteProperty("HAND", false);
  bag.WriteProperty("PICPNG", 42);  // not bytes: no picture, the rest restored
  pbCommand b;
  b.setImagen(pbCommand::StreamFromImage(Solid(4, 4, qRgb(1, 1, 1))));
  b.ReadProperties(ThroughText(bag));
  EXPECT_EQ(b.BackOver(), 0x123456u);  // the BackColor just read, not the system colour
  EXPECT_EQ(b.ForeOver(), 0x654321u);
  EXPECT_EQ(b.MousePointer(), 1);
  EXPECT_EQ(b.ButtonType(), pbCommand::Windows32bit);
  EXPECT_EQ(b.MaskColor(), 12632256u);
  EXPECT_EQ(b.GradColor1(), kFace);
  EXPECT_EQ(b.GradColor2(), kFace);
  EXPECT_TRUE(b.Enabled());
  EXPECT_TRUE(b.Imagen().isEmpty());
  EXPECT_EQ(b.Caption(), QString());

  // Colours written as signed 32-bit values (system colours) read back as the same bits.
  PropertyBag signedBag;
  signedBag.WriteProperty("BCOL", qint64(qint32(0x8000000F)));
  pbCommand c;
  c.ReadProperties(signedBag);
  EXPECT_EQ(c.BackColor(), 0x8000000Fu);

  // A text that is not JSON gives an empty bag, and an empty bag all the defaults.
  EXPECT_TRUE(PropertyBag::fromJsonText("not json").keys().isEmpty());
}

TEST(ButtonRedraws, ValueDrawsOnlyWithCheckBoxBehaviour) {
  pbCommand b;
  b.resize(60, 20);
  b.setColorScheme(pbCommand::ForceStandard);
  b.setButtonType(pbCommand::Windows16bit);
  b.setValue(true);
  EXPECT_EQ(b.lastState(), 0);
  EXPECT_EQ(pbPaint::FromPixel(b.canvas().pixel(5, 1)), 0xFFFFFFu);  // the raised bevel
  b.setCheckBoxBehaviour(true);
  EXPECT_EQ(b.lastState(), 2);
  EXPECT_EQ(pbPaint::FromPixel(b.canvas().pixel(5, 1)), 0x808080u);  // the pressed bevel
}

TEST(ButtonRedraws, PictureOverRedrawsOnlyWhileHovered) {
  // The focus flag is set without a redraw, so a redraw shows up as the focus mark appearing.
  pbCommand b;
  b.resize(60, 20);
  b.setButtonType(pbCommand::Windows16bit);
  const QRect fr = b.focusRect();
  const QRgb before = b.canvas().pixel(fr.topLeft());
  b.setFocusForDrawing(true);
  b.setPictureOver(pbPicture::fromImage(Solid(4, 4, qRgb(0, 0, 255))));
  EXPECT_EQ(b.canvas().pixel(fr.topLeft()), before);
  b.setHoverForDrawing(true);
  b.setPictureOver(pbPicture::fromImage(Solid(4, 4, qRgb(0, 255, 0))));
  EXPECT_NE(b.canvas().pixel(fr.topLeft()), before);
}

TEST(ButtonRedraws, NothingIsDrawnBetweenDisableRefreshAndRefresh) {
  pbCommand b;
  b.resize(60, 20);
  b.setColorScheme(pbCommand::ForceStandard);
  b.DisableRefresh();
  b.setColorScheme(pbCommand::UseWindows);
  EXPECT_EQ(pbPaint::FromPixel(b.canvas().pixel(30, 3)), 0xC0C0C0u);
  b.Refresh();
  EXPECT_EQ(pbPaint::FromPixel(b.canvas().pixel(30, 3)), kFace);
}

TEST(ButtonRedraws, AControlOfHeightZeroNeverPaints) {
  pbCommand b;
  b.resize(60, 0);
  b.setCaption(QStringLiteral("x"));
  b.Redraw(0, true);
  EXPECT_TRUE(b.canvas().isNull() || b.canvas().height() == 0);
}

TEST(ButtonRedraws, AButtonSetUpBeforeItsWindowShowsIsPaintedOnceAndLooksTheSame) {
  using Setup = std::function<void(pbCommand&)>;
  struct Case {
    const char* name;
    Setup setup;
  };
  const Case cases[] = {
      {"XP with a caption",
       [](pbCommand& b) {
         b.setButtonType(pbCommand::WindowsXP);
         b.setColorScheme(pbCommand::UseWindows);
         b.setPicturePosition(pbCommand::cbLeft);
         b.setCaption(QStringLiteral("查询(&Q)"));
       }},
      {"custom colours, gradient and a picture",
       [](pbCommand& b) {
         b.setButtonType(pbCommand::OfficeXP);
         b.setColorScheme(pbCommand::Custom);
         b.setBackColor(0xF0E6D8);
         b.setForeColor(0x5A2E10);
         b.setGradColor1(0xFFFFFF);
         b.setGradColor2(0xE0C8B0);
         b.setGradientDir(pbCommand::Fill_Vertical);
         b.setImagen(pbCommand::StreamFromImage(Solid(8, 8, qRgb(0, 120, 0))));
         b.setCaption(QStringLiteral("保存"));
       }},
      {"a checked check box",
       [](pbCommand& b) {
         b.setButtonType(pbCommand::Windows32bit);
         b.setCheckBoxBehaviour(true);
         b.setValue(true);
         b.setCaption(QStringLiteral("选中"));
       }},
      {"disabled, default, soft bevel",
       [](pbCommand& b) {
         b.setButtonType(pbCommand::Mac);
         b.setSoftBevel(true);
         b.setDisplayAsDefault(true);
         b.setCaption(QStringLiteral("确定"));
         b.setEnabled(false);
       }},
  };
  // A button of its own window; no focus, so that only the properties decide what is drawn.
  auto make = [](QWidget& window) {
    window.resize(160, 60);
    auto* b = new pbCommand(&window);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(10, 10, 120, 30);
    return b;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Set up after its window shows: every property is painted as it comes.
    QWidget shownFirst;
    pbCommand* after = make(shownFirst);
    shownFirst.show();
    c.setup(*after);
    const QImage expected = after->canvas().copy();

    // Set up before: nothing is painted until the window shows, then once.
    QWidget builtFirst, neverShown;
    pbCommand* before = make(builtFirst);
    pbCommand* hidden = make(neverShown);
    for (pbCommand* b : {before, hidden}) c.setup(*b);
    EXPECT_EQ(before->drawCount(), 0);
    builtFirst.show();
    EXPECT_EQ(before->drawCount(), 1);
    EXPECT_EQ(before->canvas(), expected);
    EXPECT_EQ(before->lastState(), after->lastState());

    // In a window never shown, reading the canvas or grabbing the button paints it.
    EXPECT_EQ(hidden->grab().toImage().convertToFormat(expected.format()), expected);
    EXPECT_EQ(hidden->canvas(), expected);
    EXPECT_EQ(hidden->drawCount(), 1);
  }
}
