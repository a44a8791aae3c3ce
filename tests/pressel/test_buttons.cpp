// The program's button helpers, the picture page, and JPEG pictures through Qt's reader.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "PresselLibrary.h"
#include "cImage32.h"
#include "pbCommand.h"
#include "platform/Buttons.h"
#include "platform/Dialogs.h"
#include "ppImagen.h"

namespace {
QImage Solid(int w, int h, QRgb c) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(c);
  return img;
}
QByteArray Encoded(const QImage& img, const char* format) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, format);
  return bytes;
}
}  // namespace

TEST(ProgramButtons, MakeButtonGivesTheProgramsLook) {
  QWidget window;
  pbCommand* b = MakeButton(QStringLiteral("登录(&Z)"), &window);
  EXPECT_EQ(b->parentWidget(), &window);
  EXPECT_EQ(b->Caption(), QStringLiteral("登录(&Z)"));
  EXPECT_EQ(b->ButtonType(), pbCommand::WindowsXP);
  EXPECT_EQ(b->accessKey(), QLatin1Char('z'));
  EXPECT_GE(b->width(), 75);
  EXPECT_GE(b->height(), 23);
}

TEST(ProgramButtons, ArraysDeliverTheIndexOfTheButtonClicked) {
  QWidget window;
  window.resize(300, 60);
  ButtonArray array;
  QSignalSpy spy(&array, &ButtonArray::clicked);
  for (int i = 0; i < 3; ++i) array.add(i, QStringLiteral("第%1").arg(i), &window)->move(i * 90, 0);
  EXPECT_EQ(array.add(1, QStringLiteral("again"), &window), array.at(1));
  EXPECT_EQ(array.count(), 3);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::mouseClick(array.at(1), Qt::LeftButton, {}, QPoint(20, 10));
  array[2]->PerformClick();
  ASSERT_EQ(spy.count(), 2);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 1);
  EXPECT_EQ(spy.at(1).at(0).toInt(), 2);
  EXPECT_EQ(array.indexOf(array.at(2)), 2);
  delete array.at(0);
  EXPECT_EQ(array.at(0), nullptr);
}

TEST(ProgramButtons, EnterClicksTheDefaultButton) {
  QWidget window;
  window.resize(300, 200);
  auto* edit = new QLineEdit(&window);
  auto* memo = new QPlainTextEdit(&window);
  memo->move(0, 40);
  pbCommand* ok = MakeButton(QStringLiteral("确定"), &window);
  ok->move(0, 150);
  pbCommand* other = MakeButton(QStringLiteral("其他"), &window);
  other->move(100, 150);
  QSignalSpy okClicks(ok, &pbCommand::Click), otherClicks(other, &pbCommand::Click);
  MarkDefaultButton(ok);
  EXPECT_TRUE(ok->DisplayAsDefault());
  EXPECT_EQ(DefaultButtonOf(edit), ok);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(okClicks.count(), 1);
  QTest::keyClick(other, Qt::Key_Enter);  // a focused button leaves Enter to the default button
  EXPECT_EQ(okClicks.count(), 2);
  EXPECT_EQ(otherClicks.count(), 0);
  QTest::keyClick(memo, Qt::Key_Return);  // a multi-line editor keeps its Enter
  EXPECT_EQ(okClicks.count(), 2);
  EXPECT_EQ(memo->toPlainText(), QStringLiteral("\n"));

  MarkDefaultButton(other);
  EXPECT_FALSE(ok->DisplayAsDefault());
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(otherClicks.count(), 1);
  other->setEnabled(false);
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(otherClicks.count(), 1);
  EXPECT_EQ(okClicks.count(), 2);
}

TEST(ProgramButtons, PicturesFromQtImagesKeepTheirAlpha) {
  pbCommand b;
  QImage img = Solid(16, 12, qRgba(255, 0, 0, 255));
  img.setPixel(0, 0, qRgba(200, 100, 50, 128));
  SetButtonPicture(&b, img);
  EXPECT_EQ(b.pictureSize(), QSize(16, 12));
  const QByteArray bmp = b.Imagen();
  ASSERT_EQ(bmp.size(), 54 + 16 * 12 * 4);
  // The top-left pixel is the first of the last row in the stream, premultiplied.
  const auto* p = reinterpret_cast<const uchar*>(bmp.constData()) + 54 + 11 * 16 * 4;
  EXPECT_NEAR(p[2], 100, 1);  // red 200 at alpha 128
  EXPECT_NEAR(p[0], 25, 1);
  EXPECT_EQ(p[3], 128);
}

TEST(PicturePage, FilterAndCaptions) {
  EXPECT_STREQ(ppImagen::kFilter,
               "Images|*.bmp;*.gif;*.jpg;*.ico;*.png;*.wmf;*.emf;*.cur;*.jpeg|Bitmaps|*.bmp|GIF|*.gif|"
               "Icon|*.ico;*.cur|JPG|*.jpg;*.jpeg|Metafile|*.wmf;*emf|PNG|*.png|");
  EXPECT_EQ(ppImagen::QtFilter(),
            QStringLiteral("Images (*.bmp *.gif *.jpg *.ico *.png *.wmf *.emf *.cur *.jpeg);;Bitmaps (*.bmp);;"
                           "GIF (*.gif);;Icon (*.ico *.cur);;JPG (*.jpg *.jpeg);;Metafile (*.wmf *emf);;PNG (*.png)"));
  ppImagen page;
  EXPECT_EQ(page.windowTitle(), QStringLiteral("真彩图片"));
  EXPECT_EQ(page.cmdImportar->text(), QStringLiteral("图片(&I)"));
}

TEST(PicturePage, TheChosenPictureGoesToTheFirstSelectedButtonAtOnce) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("p.png"));
  ASSERT_TRUE(Solid(10, 7, qRgb(0, 128, 255)).save(file));
  // The program's chooser answers for the page, as for every window.
  QString answer = file;
  ChooserKind kind = ChooserKind::Folder;
  SetChooserHandler([&](ChooserKind k, const QString&) {
    kind = k;
    return answer;
  });
  pbCommand first, second;
  QSignalSpy changes(&first, &pbCommand::propertyChanged);
  ppImagen page;
  page.setSelectedControls({&first, &second});
  page.cmdImportar->click();
  EXPECT_EQ(kind, ChooserKind::OpenFile);
  EXPECT_EQ(page.image().Width(), 10);
  EXPECT_EQ(first.pictureSize(), QSize(10, 7));
  EXPECT_TRUE(second.Imagen().isEmpty());
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes.at(0).at(0).toString(), QStringLiteral("PICPNG"));

  answer.clear();  // cancelled: nothing changes
  page.Import();
  EXPECT_EQ(changes.count(), 1);
  SetChooserHandler({});
}

TEST(PictureLoader, JpegThroughQtAndNoOtherFormat) {
  PresselInstallPictureLoader();
  pbCommand b;
  const QByteArray jpeg = Encoded(Solid(20, 10, qRgb(0, 200, 0)), "JPG");
  ASSERT_GT(jpeg.size(), 56);
  b.setImagen(jpeg);
  EXPECT_EQ(b.pictureSize(), QSize(20, 10));

  // Qt reads PPM and XPM, but the picture loader takes nothing but JPEG.
  for (const char* format : {"PPM", "XPM"}) {
    pbCommand c;
    const QByteArray bytes = Encoded(Solid(20, 10, qRgb(0, 200, 0)), format);
    ASSERT_GT(bytes.size(), 56) << format;
    c.setImagen(bytes);
    EXPECT_TRUE(c.Imagen().isEmpty()) << format;
  }
  QByteArray broken = jpeg.left(20) + QByteArray(100, '\0');
  pbCommand d;
  d.setImagen(broken);
  EXPECT_TRUE(d.Imagen().isEmpty());
}

TEST(PresselLibrary, CreatesControlsByTheNameDesignsUse) {
  std::unique_ptr<QWidget> w(PresselCreateControl(QStringLiteral("Pressel.pbCommand")));
  EXPECT_NE(qobject_cast<pbCommand*>(w.get()), nullptr);
  EXPECT_EQ(PresselCreateControl(QStringLiteral("Pressel.Other")), nullptr);
}
